"""The drawing pieces the make-*-images.py scripts share: the PNG writer, the
4 x 4 sampling of each pixel and the shape tests they draw with.

A shape is a function of a point (x, y) in points: either inside(x, y) -> bool
for an ink image (black whose alpha is the share of the pixel the shape
covers), or pixel(x, y) -> (r, g, b, a) in 0..1 for a coloured one.
Everything is deterministic: the same shapes give the same bytes.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "Resources")
SAMPLES = 4  # per pixel side


def encode_png(width, height, raw):
    """An 8-bit RGBA PNG of the rows in `raw` (each led by its filter byte)."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def ink_png(width, height, inside, scale):
    """Black ink on a transparent ground, `width` x `height` points at the
    scale: each pixel's alpha is the share of its samples inside the shape."""
    n = SAMPLES
    rows = []
    for y in range(height * scale):
        row = [0]
        for x in range(width * scale):
            hits = sum(1 for sy in range(n) for sx in range(n)
                       if inside((x + (sx + 0.5) / n) / scale, (y + (sy + 0.5) / n) / scale))
            row += [0, 0, 0, round(255 * hits / (n * n))]
        rows.append(bytes(row))
    return encode_png(width * scale, height * scale, b"".join(rows))


def draw_ink(name, side, inside, scale=2, out=RESOURCES):
    """The square ink image `name`@<scale>x.png, `side` points a side."""
    write(os.path.join(out, f"{name}@{scale}x.png"), ink_png(side, side, inside, scale))


def colour_png(width, height, pixel, scale=2, samples=SAMPLES):
    """A coloured image of `width` x `height` pixels at the scale, `samples`
    x `samples` a pixel: the samples' colours are averaged by their alpha,
    the alpha by the sample count."""
    rows = bytearray()
    for py in range(height):
        rows.append(0)
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / scale
                    y = (py + (sy + 0.5) / samples) / scale
                    r, g, b, a = pixel(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (samples * samples)
            rgb = [acc[i] / acc[3] for i in range(3)] if a > 0 else [0, 0, 0]
            rows.extend(int(round(max(0, min(1, c)) * 255)) for c in rgb + [a])
    return encode_png(width, height, bytes(rows))


def draw_colour(images, scale=2, out=RESOURCES):
    """Each (name, width, height, pixel) in points as `name`@2x.png."""
    for name, w, h, pixel in images:
        write(os.path.join(out, name + f"@{scale}x.png"),
              colour_png(w * scale, h * scale, pixel, scale))


# ---- shapes -----------------------------------------------------------------


def segment_distance(px, py, a, b):
    """The distance from (px, py) to the segment from a to b."""
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def on_polyline(x, y, points, width):
    return any(segment_distance(x, y, points[i], points[i + 1]) <= width / 2
               for i in range(len(points) - 1))


def in_rect(x, y, left, top, w, h):
    return left <= x <= left + w and top <= y <= top + h


def on_rect_outline(x, y, left, top, w, h, stroke):
    return in_rect(x, y, left, top, w, h) and not in_rect(
        x, y, left + stroke, top + stroke, w - 2 * stroke, h - 2 * stroke)


def rounded_rect(x, y, left, top, w, h, r):
    if x < left or x > left + w or y < top or y > top + h:
        return False
    cx = min(max(x, left + r), left + w - r)
    cy = min(max(y, top + r), top + h - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_triangle(x, y, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])

    d1 = side((x, y), a, b)
    d2 = side((x, y), b, c)
    d3 = side((x, y), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)
