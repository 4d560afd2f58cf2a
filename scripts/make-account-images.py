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

from imagekit import draw_ink, segment_distance


def about(x, y):
    """A ring with an exclamation mark: the bar and the dot below it."""
    r = math.hypot(x - 12.0, y - 12.0)
    if 9.2 <= r <= 10.8:
        return True
    if segment_distance(x, y, (12.0, 6.5), (12.0, 13.5)) <= 1.2:
        return True
    return math.hypot(x - 12.0, y - 17.0) <= 1.4


SHAPES = {"about_icon": (24, about)}


def main():
    for name, (side, inside) in SHAPES.items():
        draw_ink(name, side, inside)


if __name__ == "__main__":
    main()
