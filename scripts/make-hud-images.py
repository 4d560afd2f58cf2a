#!/usr/bin/env python3
"""Draws the progress overlay's two result images into
Resources/KAVProgressHUD.bundle, at 28 by 28 points (1x and @2x pixels).

success-black  a check mark
error-black    a cross

Black strokes with round ends on a transparent ground, anti-aliased by
measuring each pixel's distance to the strokes. Deterministic: running it
again gives the same files.
"""
import os

from imagekit import RESOURCES, ink_png, segment_distance, write

OUT = os.path.join(RESOURCES, "KAVProgressHUD.bundle")
SIDE = 28  # points
STROKE = 2.6  # points

# Strokes as point pairs in the 28-point square.
SHAPES = {
    "success-black": [((5.5, 14.5), (11.5, 20.5)), ((11.5, 20.5), (22.5, 7.5))],
    "error-black": [((7.5, 7.5), (20.5, 20.5)), ((20.5, 7.5), (7.5, 20.5))],
}


def draw(name, strokes, scale):
    def inside(x, y):
        return min(segment_distance(x, y, a, b) for a, b in strokes) <= STROKE / 2

    suffix = "@2x" if scale == 2 else ""
    write(os.path.join(OUT, f"{name}{suffix}.png"), ink_png(SIDE, SIDE, inside, scale))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, strokes in SHAPES.items():
        for scale in (1, 2):
            draw(name, strokes, scale)


if __name__ == "__main__":
    main()
