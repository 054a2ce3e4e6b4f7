#!/usr/bin/env python3
"""Draws the launcher's own images into res/ (Python 3 standard library only).

  res/background.png         PNG 143, 1105 x 651 RGBA: the main window's surface
  res/background_simple.png  PNG 178,  462 x 136 RGBA: the simple window's surface
  res/close.bmp, res/close_down.bmp        bitmaps 135 and 151, 43 x 43, 24-bit
  res/minimize.bmp, res/minimize_down.bmp  bitmaps 171 and 172, 43 x 43, 24-bit

The outputs are committed, so the build never runs this script.  Run it again after
changing a shape:  python3 tools/make_images.py

The backgrounds are a dark rounded panel on a fully transparent canvas, with a soft
half-transparent shadow and a half-transparent glass header, so that the desktop
shows through the window where the alpha says so.  The areas that the content
dialogs cover with their own controls (the page, the progress bar and its text) are
kept flat, and the buttons are drawn over the very pixels of the panel they sit on.
"""

import math
import os
import struct
import zlib

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

# The two colours of the progress bar's gradient; the accents use them too.
ACCENT_START = (0, 132, 255)
ACCENT_END = (255, 0, 252)


# --- shapes (signed distances in pixels: negative inside) ----------------------------


def rounded_rect_distance(px, py, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2.0, (top + bottom) / 2.0
    qx = abs(px - cx) - (right - left) / 2.0 + radius
    qy = abs(py - cy) - (bottom - top) / 2.0 + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def coverage(distance):
    """Anti-aliased coverage of a pixel whose centre lies at the signed distance."""
    return min(max(0.5 - distance, 0.0), 1.0)


def smoothstep(edge0, edge1, x):
    t = min(max((x - edge0) / (edge1 - edge0), 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


# --- colours (straight, not premultiplied: r, g, b in 0..255, a in 0..1) -------------


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def over(top, bottom):
    """Porter-Duff 'over' of two straight-alpha colours (r, g, b, a)."""
    ta, ba = top[3], bottom[3]
    alpha = ta + ba * (1.0 - ta)
    if alpha <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    rgb = tuple((t * ta + b * ba * (1.0 - ta)) / alpha for t, b in zip(top[:3], bottom[:3]))
    return rgb + (alpha,)


def accent(t):
    return mix(ACCENT_START, ACCENT_END, min(max(t, 0.0), 1.0))


def emblem(px, py, cx, cy, radius, colour_at):
    """A ring around a 'V': the launcher's mark.  Returns (r, g, b, a) or None."""
    stroke = max(radius * 0.16, 1.6)
    ring = abs(math.hypot(px - cx, py - cy) - radius) - stroke / 2.0
    arm = radius * 0.46
    vee = min(segment_distance(px, py, cx - arm, cy - arm * 0.8, cx, cy + arm * 0.95),
              segment_distance(px, py, cx + arm, cy - arm * 0.8, cx, cy + arm * 0.95)) - stroke / 2.0
    cover = max(coverage(ring), coverage(vee))
    if cover <= 0.0:
        return None
    return colour_at(px, py) + (cover,)


# --- a launcher surface ---------------------------------------------------------------


class Surface:
    """One background: canvas size, panel, header band and the flat areas on it."""

    def __init__(self, width, height, panel, radius, header_bottom, shadow_blur, shadow_offset,
                 shadow_alpha, emblem_at, emblem_radius, frames):
        self.width, self.height = width, height
        self.panel = panel  # left, top, right, bottom
        self.radius = radius
        self.header_bottom = header_bottom
        self.shadow_blur, self.shadow_offset, self.shadow_alpha = shadow_blur, shadow_offset, shadow_alpha
        self.emblem_at, self.emblem_radius = emblem_at, emblem_radius
        self.frames = frames  # (left, top, right, bottom, radius, fill, border) drawn flat

    def body(self, px, py):
        left, top, right, bottom = self.panel
        t = (py - top) / float(bottom - top)
        colour = mix((36, 39, 66), (21, 23, 38), t)
        # A faint violet glow from the upper left, away from the flat areas.
        glow = max(0.0, 1.0 - math.hypot(px - left - 60, py - top - 40) / 420.0)
        return mix(colour, (64, 48, 110), 0.45 * glow * glow)

    def header(self, px, py):
        """The glass band: lighter, half transparent, with a diagonal sheen."""
        left, top, right, _ = self.panel
        t = (py - top) / float(self.header_bottom - top)
        colour = mix((92, 112, 170), (46, 56, 96), t)
        sheen = 0.5 + 0.5 * math.sin((px + py * 0.6) / 38.0)
        alpha = 0.50 + 0.22 * t + 0.06 * sheen
        return colour + (alpha,)

    def panel_pixel(self, px, py):
        left, top, right, bottom = self.panel
        if py < self.header_bottom:
            colour = self.header(px, py)
        elif py < self.header_bottom + 2:
            # A thin line in the bar's own gradient under the header.
            colour = accent((px - left) / float(right - left)) + (1.0,)
        else:
            colour = self.body(px, py) + (1.0,)
            for f_left, f_top, f_right, f_bottom, f_radius, fill, border in self.frames:
                d = rounded_rect_distance(px, py, f_left, f_top, f_right, f_bottom, f_radius)
                if d < 0.5:
                    inner = coverage(d + 1.0)
                    ring = coverage(d) - inner
                    colour = over(fill + (inner,), colour)
                    colour = over(border + (ring,), colour)
        cx, cy = self.emblem_at
        mark = emblem(px, py, cx, cy, self.emblem_radius,
                      lambda x, y: accent((x - cx + self.emblem_radius) / (2.0 * self.emblem_radius)))
        if mark:
            colour = over(mark, colour)
        return colour

    def pixel(self, x, y):
        px, py = x + 0.5, y + 0.5
        left, top, right, bottom = self.panel
        cover = coverage(rounded_rect_distance(px, py, left, top, right, bottom, self.radius))
        result = (0.0, 0.0, 0.0, 0.0)
        if cover < 1.0:
            d = rounded_rect_distance(px, py - self.shadow_offset, left, top, right, bottom, self.radius)
            shade = self.shadow_alpha * (1.0 - smoothstep(-self.shadow_blur * 0.3, self.shadow_blur, d))
            result = (0.0, 0.0, 0.0, shade * (1.0 - cover))
        if cover > 0.0:
            colour = self.panel_pixel(px, py)
            result = over(colour[:3] + (colour[3] * cover,), result)
        return result

    def rgba_rows(self):
        rows = []
        for y in range(self.height):
            row = bytearray()
            for x in range(self.width):
                r, g, b, a = self.pixel(x, y)
                row += bytes((to_byte(r), to_byte(g), to_byte(b), to_byte(a * 255.0)))
            rows.append(bytes(row))
        return rows


def to_byte(value):
    return max(0, min(255, int(round(value))))


# The main window: the page lies at (300,132)-(890,612), the close and minimise
# buttons at (924,133) and (924,178), the status text and the bar across
# (176,600)-(976,626).
MAIN = Surface(
    1105, 651, panel=(14, 8, 1091, 636), radius=24, header_bottom=104,
    shadow_blur=12, shadow_offset=4, shadow_alpha=0.55,
    emblem_at=(82, 56), emblem_radius=26,
    frames=[(296, 128, 894, 612, 6, (15, 17, 29), (52, 56, 90))])

# The simple window: text at (62,85) 333 x 20, bar at (50,105) 345 x 6.
SIMPLE = Surface(
    462, 136, panel=(6, 4, 456, 129), radius=14, header_bottom=42,
    shadow_blur=6, shadow_offset=2, shadow_alpha=0.5,
    emblem_at=(36, 23), emblem_radius=11,
    frames=[(47, 102, 398, 114, 3, (12, 13, 22), (44, 47, 76))])


# --- buttons ----------------------------------------------------------------------------

BUTTON_SIZE = 43


def button_pixels(surface, origin, glyph, pressed):
    """A round button over the panel's own pixels at origin, 43 x 43, opaque RGB rows."""
    ox, oy = origin
    centre = BUTTON_SIZE / 2.0
    shift = 1.0 if pressed else 0.0
    fill = (18, 96, 190) if pressed else (46, 50, 82)
    border = (0, 132, 255) if pressed else (78, 84, 128)
    mark = (255, 255, 255) if pressed else (220, 224, 238)
    rows = []
    for y in range(BUTTON_SIZE):
        row = []
        for x in range(BUTTON_SIZE):
            px, py = x + 0.5, y + 0.5
            colour = surface.pixel(ox + x, oy + y)
            d = math.hypot(px - centre, py - centre) - 17.0
            colour = over(fill + (coverage(d + 1.0),), colour)
            colour = over(border + (coverage(d) - coverage(d + 1.0),), colour)
            gx, gy = px - centre - shift, py - centre - shift
            colour = over(mark + (coverage(glyph(gx, gy)),), colour)
            row.append(tuple(to_byte(c) for c in colour[:3]))
        rows.append(row)
    return rows


def close_glyph(x, y):
    return min(segment_distance(x, y, -6, -6, 6, 6), segment_distance(x, y, -6, 6, 6, -6)) - 1.1


def minimize_glyph(x, y):
    return segment_distance(x, y, -6, 0, 6, 0) - 1.1


# --- file formats -------------------------------------------------------------------


def write_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)  # filter 0 on every row
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))
    with open(path, "wb") as out:
        out.write(data)


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + b"\x00" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def main():
    write_png(os.path.join(RES, "background.png"), MAIN.width, MAIN.height, MAIN.rgba_rows())
    write_png(os.path.join(RES, "background_simple.png"), SIMPLE.width, SIMPLE.height, SIMPLE.rgba_rows())
    buttons = [("close.bmp", (924, 133), close_glyph, False), ("close_down.bmp", (924, 133), close_glyph, True),
               ("minimize.bmp", (924, 178), minimize_glyph, False),
               ("minimize_down.bmp", (924, 178), minimize_glyph, True)]
    for name, origin, glyph, pressed in buttons:
        write_bmp(os.path.join(RES, name), button_pixels(MAIN, origin, glyph, pressed))


if __name__ == "__main__":
    main()
