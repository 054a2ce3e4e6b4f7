// A bare TCP listener on 127.0.0.1 for what an HTTP server library hides from its
// handlers: the request's bytes exactly as they came (header order, TLS hellos),
// and a peer that accepts a connection but never answers.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vt {

class RawListener {
public:
    enum class Mode {
        Reply,   // read one request (head and Content-Length body), send the reply, close
        Silent,  // accept and keep the connection open without a word until Stop
        Stall,   // read one request, send the reply, then keep the connection open until Stop
        Reset,   // read one request and reset the connection without a reply
    };

    RawListener();
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    bool Start(Mode mode, const std::string& reply = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    void Stop();
    int port() const { return m_port; }
    std::string Url(const std::string& path, const std::string& scheme = "http") const;

    // Bytes received on each accepted connection so far, in order of acceptance.
    std::vector<std::string> Received();
    int Connections();

private:
    void Serve();
    bool ReadRequest(SOCKET client, size_t index);
    void AddBytes(size_t index, const char* data, int count);

    Mode m_mode = Mode::Reply;
    std::string m_reply;
    SOCKET m_listener = INVALID_SOCKET;
    int m_port = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_received;
    std::vector<SOCKET> m_held;
    bool m_started = false;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
int UnusedPort();

}  // namespace vt
