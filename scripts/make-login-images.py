#!/usr/bin/env python3
"""Draws the bundle images of the login, dealer and scanner screens into
Resources.

nav_qrcode     a QR glyph: the dealer list's scan button
check_Icon     a check mark: the selected dealer's row
changeDealer   a chevron in a ring: the login screen's change-dealer button
LaunchImage    the picture shown while the first start looks its dealer up

The icons are white on transparent (the screens recolour them); only their
alpha counts. LaunchImage is opaque, drawn at 1x (320 x 568 points).
Deterministic: running it again gives the same files.
"""
import math
import os

from imagekit import RESOURCES, colour_png, draw_colour, write

WHITE = (1, 1, 1, 1)
NONE = (0, 0, 0, 0)


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / float(dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def polyline(points, half_width):
    def inside(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            if segment_distance(x, y, ax, ay, bx, by) <= half_width:
                return True
        return False
    return inside


def qr_icon(x, y):
    # 32 x 32 points: three finder squares and a few modules.
    for left, top in ((5, 5), (19, 5), (5, 19)):
        if left <= x <= left + 8 and top <= y <= top + 8:
            inner = left + 2 <= x <= left + 6 and top + 2 <= y <= top + 6
            core = left + 3 <= x <= left + 5 and top + 3 <= y <= top + 5
            return WHITE if (not inner or core) else NONE
    for left, top in ((19, 19), (23, 23), (19, 25), (25, 19)):
        if left <= x <= left + 2.5 and top <= y <= top + 2.5:
            return WHITE
    return NONE


def check_icon(x, y):
    # 20 x 20 points: a check mark 2.4 points thick.
    return WHITE if polyline([(4, 10.5), (8.5, 15), (16.5, 5.5)], 1.2)(x, y) else NONE


def change_dealer_icon(x, y):
    # 35 x 35 points: a ring with a chevron pointing down inside it.
    r = math.hypot(x - 17.5, y - 17.5)
    if 14.5 <= r <= 16.5:
        return WHITE
    if polyline([(11, 15), (17.5, 21.5), (24, 15)], 1.3)(x, y):
        return WHITE
    return NONE


def launch_image(x, y):
    # 320 x 568 points: the screens' dark grey, a rising chart line in the
    # accent colour inside a thin ring, and a short rule under it.
    grey = 30 / 255.0
    accent = (39 / 255.0, 140 / 255.0, 192 / 255.0, 1)
    r = math.hypot(x - 160, y - 250)
    if 58 <= r <= 61:
        return accent
    line = polyline([(118, 272), (140, 250), (158, 262), (182, 228), (200, 238)], 2.5)
    if r < 58 and line(x, y):
        return accent
    if 130 <= x <= 190 and 336 <= y <= 338:
        return (160 / 255.0, 160 / 255.0, 160 / 255.0, 1)
    return (grey, grey, grey, 1)


def main():
    icons = [
        ("nav_qrcode", 32, 32, qr_icon),
        ("check_Icon", 20, 20, check_icon),
        ("changeDealer", 35, 35, change_dealer_icon),
    ]
    draw_colour(icons)
    # The launch picture at 1x with fewer samples: it is large and has few edges.
    write(os.path.join(RESOURCES, "LaunchImage.png"),
          colour_png(320, 568, launch_image, scale=1, samples=2))


if __name__ == "__main__":
    main()
