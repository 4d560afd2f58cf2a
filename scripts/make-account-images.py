#!/usr/bin/env python3
"""Draws the account screens' bundle images into Resources, at @2x.

about_icon    24 x 24 points: a ring around an exclamation mark, the risk
              notice row of the account centre

(The back buttons' "nav_backicon" is the trading screens' image.)

Black on a transparent ground: the screens recolour them (only the ink's
coverage counts). Anti-aliased by 4 x 4 sampling of each pixel.
Deterministic: running it again gives the same files.
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


def about(x, y):
    """A ring with an exclamation mark: the bar and the dot below it."""
    r = math.hypot(x - 12.0, y - 12.0)
    if 9.2 <= r <= 10.8:
        return True
    if segment_distance(x, y, (12.0, 6.5), (12.0, 13.5)) <= 1.2:
        return True
    return math.hypot(x - 12.0, y - 17.0) <= 1.4


SHAPES = {"about_icon": (24, about)}


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
