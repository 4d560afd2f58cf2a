#!/usr/bin/env python3
"""Draws the input widgets' two bundle images into Resources, at @2x (the
bundle looks there first, like the toolkit's other images).

setting_icon  24 x 24 points: a gear, the icon of the framed input row
detail_Icon   16 x 16 points: a ring around a right chevron, the detail
              mark of the bulletin card

Black on a transparent ground: the widgets recolour them (the ink only keeps
its coverage). Anti-aliased by 4 x 4 sampling of each pixel. Deterministic:
running it again gives the same files.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "Resources")


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def gear(x, y):
    """Inside the 24-point gear: eight teeth around a ring with a hole."""
    cx = cy = 12.0
    r = math.hypot(x - cx, y - cy)
    if r < 3.6:
        return False
    angle = math.atan2(y - cy, x - cx)
    tooth = math.cos(8 * angle) > 0.15
    return r <= (10.8 if tooth else 8.4)


def detail(x, y):
    """Inside the 16-point detail mark: a ring and a chevron pointing right."""
    r = math.hypot(x - 8.0, y - 8.0)
    if 6.4 <= r <= 7.6:
        return True
    chevron = [((6.6, 4.6), (9.9, 8.0)), ((9.9, 8.0), (6.6, 11.4))]
    return min(segment_distance(x, y, a, b) for a, b in chevron) <= 0.8


SHAPES = {"setting_icon": (24, gear), "detail_Icon": (16, detail)}


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def draw(name, side, inside, scale=2):
    size = side * scale
    n = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = sum(1 for sy in range(n) for sx in range(n)
                       if inside((x + (sx + 0.5) / n) / scale, (y + (sy + 0.5) / n) / scale))
            row += [0, 0, 0, round(255 * hits / (n * n))]
        rows.append(row)
    with open(os.path.join(OUT, f"{name}@{scale}x.png"), "wb") as f:
        f.write(png(size, size, rows))


def main():
    for name, (side, inside) in SHAPES.items():
        draw(name, side, inside)


if __name__ == "__main__":
    main()
