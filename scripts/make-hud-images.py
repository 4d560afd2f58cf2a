#!/usr/bin/env python3
"""Draws the progress overlay's two result images into
Resources/KAVProgressHUD.bundle, at 28 by 28 points (1x and @2x pixels).

success-black  a check mark
error-black    a cross

Black strokes with round ends on a transparent ground, anti-aliased by
measuring each pixel's distance to the strokes. Deterministic: running it
again gives the same files.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "Resources", "KAVProgressHUD.bundle")
SIDE = 28  # points
STROKE = 2.6  # points

# Strokes as point pairs in the 28-point square.
SHAPES = {
    "success-black": [((5.5, 14.5), (11.5, 20.5)), ((11.5, 20.5), (22.5, 7.5))],
    "error-black": [((7.5, 7.5), (20.5, 20.5)), ((20.5, 7.5), (7.5, 20.5))],
}


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def coverage(strokes, x, y, scale):
    """Share of the pixel (x, y) that the strokes cover, by 4x4 sampling."""
    hits = 0
    n = 4
    for sy in range(n):
        for sx in range(n):
            px = (x + (sx + 0.5) / n) / scale
            py = (y + (sy + 0.5) / n) / scale
            if min(segment_distance(px, py, a, b) for a, b in strokes) <= STROKE / 2:
                hits += 1
    return hits / (n * n)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def draw(name, strokes, scale):
    size = SIDE * scale
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            alpha = round(255 * coverage(strokes, x, y, scale))
            row += [0, 0, 0, alpha]
        rows.append(row)
    suffix = "@2x" if scale == 2 else ""
    with open(os.path.join(OUT, f"{name}{suffix}.png"), "wb") as f:
        f.write(png(size, size, rows))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, strokes in SHAPES.items():
        for scale in (1, 2):
            draw(name, strokes, scale)


if __name__ == "__main__":
    main()
