#!/usr/bin/env python3
"""Draws the trading screens' bundle images into Resources (at @2x).

priceUp, priceDown   18 x 18 arrows of the board's last move, drawn white to
                     be recoloured (only their alpha counts)
priceSame            18 x 18 bar of an unchanged quote, likewise
clock                12 x 12 clock face: the symbol has pending orders
nav_backicon         24 x 24 chevron of the order screens' back button,
                     white to be recoloured
nav_detail           20 x 20 caret of the titles that open the symbol
                     picker, white to be recoloured
nav_add              20 x 20 plus of the pending orders' add button, white
                     to be recoloured

Shapes are sampled 4 x 4 per pixel, so edges are smooth. Deterministic:
running it again gives the same files.
"""
import math

from imagekit import draw_colour, in_triangle, rounded_rect, segment_distance

WHITE = (1, 1, 1, 1)
CLEAR = (0, 0, 0, 0)


def price_up(x, y):
    # A head pointing up over a stem.
    if in_triangle(x, y, (9, 2), (16, 10), (2, 10)):
        return WHITE
    if rounded_rect(x, y, 6.5, 9, 5, 7.5, 1):
        return WHITE
    return CLEAR


def price_down(x, y):
    return price_up(x, 18 - y)


def price_same(x, y):
    # Two bars: the price stands.
    if rounded_rect(x, y, 2, 5.5, 14, 2.5, 1.2) or rounded_rect(x, y, 2, 10, 14, 2.5, 1.2):
        return WHITE
    return CLEAR


def clock(x, y):
    # Accent ring on a dark face, hands at ten past ten, in grey 220.
    accent = (39 / 255.0, 140 / 255.0, 192 / 255.0, 1)
    hand = (220 / 255.0, 220 / 255.0, 220 / 255.0, 1)
    r = math.hypot(x - 6, y - 6)
    if r > 5.8:
        return CLEAR
    if r > 4.6:
        return accent
    if segment_distance(x, y, (6, 6), (6, 2.6)) < 0.6 or segment_distance(x, y, (6, 6), (8.6, 7.2)) < 0.6:
        return hand
    return (0.16, 0.16, 0.16, 1)


def back_icon(x, y):
    # A chevron pointing left.
    if segment_distance(x, y, (15, 4), (7, 12)) < 1.4 or segment_distance(x, y, (7, 12), (15, 20)) < 1.4:
        return WHITE
    return CLEAR


def detail_icon(x, y):
    # A caret pointing down: a list opens under the title.
    if in_triangle(x, y, (4, 7), (16, 7), (10, 14)):
        return WHITE
    return CLEAR


def add_icon(x, y):
    # A plus: a new order.
    if rounded_rect(x, y, 9, 3, 2, 14, 1) or rounded_rect(x, y, 3, 9, 14, 2, 1):
        return WHITE
    return CLEAR


def main():
    images = [
        ("priceUp", 18, 18, price_up),
        ("priceDown", 18, 18, price_down),
        ("priceSame", 18, 18, price_same),
        ("clock", 12, 12, clock),
        ("nav_backicon", 24, 24, back_icon),
        ("nav_detail", 20, 20, detail_icon),
        ("nav_add", 20, 20, add_icon),
    ]
    draw_colour(images)


if __name__ == "__main__":
    main()
