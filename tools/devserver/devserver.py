#!/usr/bin/env python3
"""Local HTTP server for the launcher's demo: the launcher's web servers on one port.

Serves the files under --root (configuration files, the game package, the start page),
answers Range requests with 206, takes QoS reports (GET /qos?data=...) and log uploads
(multipart POST /upload), and writes one line per event to --log:

    <seconds>\tREQUEST\t<method>\t<target>\t<status>\t<body bytes sent>\t<Range header or ->
    <seconds>\tQOS\t<step>\t<tag>\t<QoS text>
    <seconds>\tUPLOAD\t<file name>\t<bytes>\t<saved as>

<seconds> is the time since the server started at which the request arrived; a request's
line is written when its answer has been sent, so `sort -s -n` gives arrival order.

It binds 127.0.0.1 only and ends by itself after --lifetime seconds.  Texts from the
launcher are code page 936; the log is UTF-8.  Standard library only.
"""

import argparse
import mimetypes
import os
import re
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote_to_bytes, urlsplit

CHUNK = 16 * 1024
MAX_UPLOAD = 64 * 1024 * 1024
QOS_STEP = re.compile(r"T:(-?\d+);(.*?)AGENT:")


class Recorder:
    """Appends events to the log file, one line each, from any thread."""

    def __init__(self, path):
        self.start = time.monotonic()
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def now(self):
        return time.monotonic() - self.start

    def write(self, at, *fields):
        line = "%.3f\t%s\n" % (at, "\t".join(str(f) for f in fields))
        with self.lock:
            if self.file:
                self.file.write(line)
                self.file.flush()


def decode_launcher_text(raw):
    return raw.decode("gbk", errors="replace")


def parse_range(header, size):
    """(first, last) of a single "bytes=a-b" range, None for no usable range, or "bad"."""
    match = re.fullmatch(r"\s*bytes=(\d*)-(\d*)\s*", header or "")
    if not match or (match.group(1) == "" and match.group(2) == ""):
        return None
    first, last = match.group(1), match.group(2)
    if first == "":  # the last N bytes
        count = int(last)
        if count == 0:
            return "bad"
        return max(size - count, 0), size - 1
    first = int(first)
    last = size - 1 if last == "" else min(int(last), size - 1)
    if first >= size or last < first:
        return "bad"
    return first, last


def multipart_parts(body, boundary):
    """Yields (headers text, data) for each part of a multipart/form-data body."""
    for piece in body.split(b"--" + boundary)[1:]:
        if piece.startswith(b"--"):
            break
        head, _, data = piece.partition(b"\r\n\r\n")
        if data.endswith(b"\r\n"):
            data = data[:-2]
        yield decode_launcher_text(head.strip(b"\r\n")), data


class Handler(BaseHTTPRequestHandler):
    server_version = "devserver"
    timeout = 30  # a client that stops sending does not hold its thread for ever

    def log_message(self, format, *args):  # the recorder keeps the log instead
        pass

    def parse_request(self):
        self.arrived = self.server.recorder.now()
        return super().parse_request()

    def record(self, *fields):
        self.server.recorder.write(self.arrived, *fields)

    def record_request(self, status, sent):
        self.record("REQUEST", self.command, self.path, status, sent,
                                   self.headers.get("Range") or "-")

    def send_text(self, status, text):
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.record_request(status, len(body))

    def local_file(self, path):
        """The file under the root that path names, or None; never outside the root."""
        root = self.server.root
        relative = unquote_to_bytes(path).decode("utf-8", errors="replace").lstrip("/")
        try:
            full = os.path.realpath(os.path.join(root, relative))
            if os.path.commonpath([root, full]) != root:
                return None
            if os.path.isdir(full):
                full = os.path.join(full, "index.html")
            return full if os.path.isfile(full) else None
        except (ValueError, OSError):  # a NUL byte, a name too long
            return None

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        target = urlsplit(self.path)
        if target.path == "/qos":
            self.take_qos(target.query)
            return
        path = self.local_file(target.path)
        if path is None:
            self.send_text(404, "not found")
            return
        self.send_file(path)

    def take_qos(self, query):
        # The text is the rest of the query after "data=" (a second "?" may precede it).
        at = query.find("data=")
        text = decode_launcher_text(unquote_to_bytes(query[at + 5:])) if at >= 0 else ""
        match = QOS_STEP.search(text)
        step, tag = (match.group(1), match.group(2)) if match else ("?", "?")
        self.record("QOS", step, tag, text)
        self.send_text(200, "ok")

    def send_file(self, path):
        size = os.path.getsize(path)
        wanted = parse_range(self.headers.get("Range"), size)
        if wanted == "bad":
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            self.record_request(416, 0)
            return
        first, last = wanted if wanted else (0, size - 1)
        status = 206 if wanted else 200
        self.send_response(status)
        self.send_header("Content-Type", mimetypes.guess_type(path)[0] or "application/octet-stream")
        self.send_header("Content-Length", str(last - first + 1))
        self.send_header("Accept-Ranges", "bytes")
        if wanted:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        self.end_headers()
        sent = 0
        if self.command != "HEAD":
            sent = self.copy_throttled(path, first, last - first + 1)
        self.record_request(status if sent >= 0 else "%d cut" % status, abs(sent))

    def copy_throttled(self, path, offset, count):
        """Sends count bytes from offset at the configured rate; negative when the peer left."""
        rate = self.server.throttle
        began = time.monotonic()
        sent = 0
        with open(path, "rb") as source:
            source.seek(offset)
            while sent < count:
                data = source.read(min(CHUNK, count - sent))
                if not data:
                    break
                try:
                    self.wfile.write(data)
                except (BrokenPipeError, ConnectionResetError):
                    return -sent
                sent += len(data)
                if rate > 0:
                    ahead = sent / rate - (time.monotonic() - began)
                    if ahead > 0:
                        time.sleep(ahead)
        return sent

    def do_POST(self):
        target = urlsplit(self.path)
        length = self.headers.get("Content-Length") or "0"
        length = int(length) if length.isdigit() else -1
        if target.path != "/upload" or length <= 0 or length > MAX_UPLOAD:
            self.send_text(404 if target.path != "/upload" else 400, "refused")
            return
        body = self.rfile.read(length)
        match = re.search(r'boundary="?([^";]+)"?', self.headers.get("Content-Type", ""))
        if not match:
            self.send_text(400, "no boundary")
            return
        saved = 0
        for head, data in multipart_parts(body, match.group(1).encode("latin-1")):
            name = re.search(r'filename="([^"]*)"', head)
            if 'name="logfile"' in head and name:
                self.save_upload(name.group(1), data)
                saved += 1
        self.send_text(200 if saved else 400, "saved %d" % saved)

    def save_upload(self, remote_name, data):
        folder = self.server.uploads
        os.makedirs(folder, exist_ok=True)
        base = os.path.basename(remote_name.replace("\\", "/")) or "upload"
        path = os.path.join(folder, base)
        count = 1
        while os.path.exists(path):
            path = os.path.join(folder, "%s.%d" % (base, count))
            count += 1
        with open(path, "wb") as out:
            out.write(data)
        self.record("UPLOAD", remote_name, len(data), path)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True, help="port on 127.0.0.1")
    parser.add_argument("--root", required=True, help="folder whose files are served")
    parser.add_argument("--log", help="file the events are appended to")
    parser.add_argument("--uploads", help="folder for uploaded logs (default: <log>.uploads)")
    parser.add_argument("--throttle", type=int, default=0, help="bytes per second per file transfer (0: no limit)")
    parser.add_argument("--lifetime", type=float, default=600, help="seconds until the server ends by itself")
    options = parser.parse_args()

    ThreadingHTTPServer.allow_reuse_address = True
    ThreadingHTTPServer.daemon_threads = True
    try:
        server = ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    except OSError as error:
        print("devserver: cannot listen on 127.0.0.1:%d: %s" % (options.port, error), file=sys.stderr)
        return 1
    server.root = os.path.realpath(options.root)
    server.throttle = max(options.throttle, 0)
    server.recorder = Recorder(options.log)
    server.uploads = options.uploads or ((options.log or "devserver") + ".uploads")
    stopper = threading.Timer(options.lifetime, server.shutdown)
    stopper.daemon = True
    stopper.start()
    print("devserver: serving %s on http://127.0.0.1:%d for %g s" % (server.root, options.port, options.lifetime),
          flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
