#!/usr/bin/env python3
"""Draws the icons of the function menu (the left drawer) into Resources, at @2x.

quotation_icon         a rising price line over a base line: the quotes
account_icon           a wallet with its clasp: the funds account
holdBillList_icon      a sheet with lines of text: the open tickets
holdPositionList_icon  three bars of rising height: the net positions
limitBillList_icon     a clock face: the pending orders
closeBillList_icon     a sheet with a tick: the closed tickets
dealerNotic_icon       a speaker with two waves: the dealer's bulletins

Each is 24 x 24 points, black on a transparent ground: the menu recolours
them (only the ink's coverage counts). Anti-aliased by 4 x 4 sampling of each
pixel. Deterministic: running it again gives the same files.
"""
import math

from imagekit import draw_ink, in_rect, on_polyline, on_rect_outline


def quotation(x, y):
    if on_polyline(x, y, [(3, 17), (8, 11), (12, 14), (20, 5)], 2.2):
        return True
    if on_polyline(x, y, [(16, 5), (20, 5), (20, 9)], 2.0):
        return True
    return in_rect(x, y, 2, 19.5, 20, 1.6)


def account(x, y):
    if on_rect_outline(x, y, 2.5, 6, 19, 13.5, 1.8):
        return True
    if in_rect(x, y, 4, 3.5, 13, 1.6):
        return True
    return on_rect_outline(x, y, 14, 10.5, 7.5, 4.5, 1.5) or math.hypot(x - 16.5, y - 12.75) <= 1


def sheet(x, y):
    return on_rect_outline(x, y, 4.5, 2.5, 15, 19, 1.8)


def hold_bill(x, y):
    if sheet(x, y):
        return True
    return any(in_rect(x, y, 8, top, 8, 1.6) for top in (7, 11, 15))


def hold_position(x, y):
    return (in_rect(x, y, 3, 13, 4.5, 8) or in_rect(x, y, 9.75, 8, 4.5, 13) or
            in_rect(x, y, 16.5, 3, 4.5, 18))


def limit_bill(x, y):
    r = math.hypot(x - 12, y - 12)
    if 8.4 <= r <= 10.2:
        return True
    return on_polyline(x, y, [(12, 6.5), (12, 12), (16, 14.5)], 2.0)


def close_bill(x, y):
    if sheet(x, y):
        return True
    return on_polyline(x, y, [(8, 12.5), (11, 15.5), (16.5, 8.5)], 2.2)


def dealer_notice(x, y):
    # The speaker: a box and a cone opening to the right.
    if in_rect(x, y, 2.5, 9, 4, 6):
        return True
    if 6.5 <= x <= 12 and abs(y - 12) <= 3 + (x - 6.5) * 0.9:
        return True
    for radius in (5, 8.5):
        r = math.hypot(x - 12, y - 12)
        angle = math.degrees(math.atan2(y - 12, x - 12))
        if abs(r - radius) <= 0.9 and -45 <= angle <= 45 and x > 13:
            return True
    return False


SHAPES = {
    "quotation_icon": (24, quotation),
    "account_icon": (24, account),
    "holdBillList_icon": (24, hold_bill),
    "holdPositionList_icon": (24, hold_position),
    "limitBillList_icon": (24, limit_bill),
    "closeBillList_icon": (24, close_bill),
    "dealerNotic_icon": (24, dealer_notice),
}


def main():
    for name, (side, inside) in SHAPES.items():
        draw_ink(name, side, inside)


if __name__ == "__main__":
    main()
