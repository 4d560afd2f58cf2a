#!/usr/bin/env python3
"""Draws the toolkit's bundle images into Resources (at @2x).

nav_menuicon         three bars: the menu button of the left drawer
nav_usericon         head and shoulders: the user button of the right drawer
but_001, but_01      red and green backgrounds of the trade buttons
                     (stretched with cap insets 9, 10, 9, 10)
numberinput_bg_long  background of the number input (cap insets 5)

The navigation-bar icons are drawn as templates (only their alpha counts; the
bar paints them in its tint). Shapes are sampled 4 x 4 per pixel, so edges are
smooth. Deterministic: running it again gives the same files.
"""
from imagekit import draw_colour, rounded_rect


def menu_icon(x, y):
    # 22 x 22 points: bars 16 wide, 2 high, 5 points apart.
    for top in (5, 10, 15):
        if rounded_rect(x, y, 3, top, 16, 2, 1):
            return (1, 1, 1, 1)
    return (0, 0, 0, 0)


def user_icon(x, y):
    # 22 x 22 points: a round head and the arc of the shoulders.
    if (x - 11) ** 2 + (y - 7.5) ** 2 <= 4.2 ** 2:
        return (1, 1, 1, 1)
    if y >= 13.5 and y <= 19.5:
        # Shoulders: the top half of an ellipse, cut flat at the bottom.
        if ((x - 11) / 8.0) ** 2 + ((y - 20.5) / 7.0) ** 2 <= 1:
            return (1, 1, 1, 1)
    return (0, 0, 0, 0)


def trade_button(top_colour, bottom_colour):
    # 24 x 22 points, rounded 5, a vertical gradient and a darker rim.
    def pixel(x, y):
        if not rounded_rect(x, y, 0, 0, 24, 22, 5):
            return (0, 0, 0, 0)
        t = y / 22.0
        c = [top_colour[i] + (bottom_colour[i] - top_colour[i]) * t for i in range(3)]
        if not rounded_rect(x, y, 1, 1, 22, 20, 4):
            c = [v * 0.7 for v in c]
        return (c[0], c[1], c[2], 1)

    return pixel


def number_input(x, y):
    # 16 x 16 points: dark grey field (60) with a mid grey border (160),
    # rounded 4.
    if not rounded_rect(x, y, 0, 0, 16, 16, 4):
        return (0, 0, 0, 0)
    if not rounded_rect(x, y, 1, 1, 14, 14, 3):
        g = 160 / 255.0
        return (g, g, g, 1)
    g = 60 / 255.0
    return (g, g, g, 1)


def rgb(r, g, b):
    return (r / 255.0, g / 255.0, b / 255.0)


def main():
    images = [
        ("nav_menuicon", 22, 22, menu_icon),
        ("nav_usericon", 22, 22, user_icon),
        ("but_001", 24, 22, trade_button(rgb(208, 64, 52), rgb(172, 38, 30))),
        ("but_01", 24, 22, trade_button(rgb(90, 200, 24), rgb(56, 150, 12))),
        ("numberinput_bg_long", 16, 16, number_input),
    ]
    draw_colour(images)


if __name__ == "__main__":
    main()
