#!/usr/bin/env python3
"""Draws the application icon from the ship's own outline table (ship/ship.cpp).
Usage: make_icon.py OUTPUT.svg   (the committed icon is packaging/quillfane.svg)"""

import math
import os
import re
import sys

SIZE = 256  # the icon's units; menus scale it
SCALE = 0.34  # units per twip: the ship's 600 twips from nose to tail fill 204 of the 256
STROKE = 14  # thick enough to stay visible at 16 px


def outline_table():
    """{point: (degrees from the nose, radius)} as the game computes its outline."""
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ship", "ship.cpp")
    with open(source, encoding="utf-8") as f:
        table = {int(i): (float(a), float(r)) for i, a, r in re.findall(r"\{(\d+), (\d+), (\d+)\}", f.read())}
    needed = {1, 2, 3, 13, 14, 16, 17}
    if not needed <= table.keys():
        sys.exit("make_icon.py: no outline points %s in %s" % (sorted(needed - table.keys()), source))
    return table


def svg():
    table = outline_table()
    centre = SIZE / 2

    def at(point):
        # Nose up, as the ship starts: heading 180 degrees, y growing downward.
        degrees, radius = table[point]
        a = math.radians(180 + degrees)
        return "%.2f %.2f" % (centre + math.sin(a) * radius * SCALE, centre + math.cos(a) * radius * SCALE)

    rear = table[2][1] * SCALE
    # Nose, inner corner, muzzle, rear corner, the rear arc, rear corner, muzzle, inner corner.
    hull = "M %s L %s L %s L %s A %.2f %.2f 0 0 0 %s L %s L %s Z" % (
        at(1), at(14), at(13), at(2), rear, rear, at(3), at(16), at(17))
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
        '  <rect width="%d" height="%d" rx="40" fill="#000000"/>\n'
        '  <path d="%s" fill="none" stroke="#ffffff" stroke-width="%d" stroke-linejoin="round"/>\n'
        '</svg>\n' % (SIZE, SIZE, SIZE, SIZE, SIZE, SIZE, hull, STROKE))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "w", encoding="utf-8") as out:
        out.write(svg())


if __name__ == "__main__":
    main()
