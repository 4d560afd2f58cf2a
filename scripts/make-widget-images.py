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

from imagekit import draw_ink, segment_distance


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


def main():
    for name, (side, inside) in SHAPES.items():
        draw_ink(name, side, inside)


if __name__ == "__main__":
    main()
