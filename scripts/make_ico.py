#!/usr/bin/env python3
"""Draws the game's icon, the ship's white outline nose up on the black playfield, at 16, 32,
48 and 256 pixels, into one .ico file of PNG images. Standard library only.
Usage: make_ico.py OUTPUT.ico"""

import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
# Outline points as (degrees from the nose, radius in twips), nose up.
NOSE, GUN1, INNER1, REAR1, GUN2, INNER2, REAR2 = (0, 300), (40, 230), (120, 160), (140, 300), \
    (320, 230), (240, 160), (220, 300)
HULL = [(NOSE, INNER1), (INNER2, NOSE), (REAR1, GUN1), (GUN1, INNER1), (REAR2, GUN2), (GUN2, INNER2)]
ARC = (140, 220, 300)  # the rear arc: from, to (degrees from the nose), radius
EXTENT = 300


def point(offset, radius):
    a = math.radians(180 + offset)
    return math.sin(a) * radius, math.cos(a) * radius


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def arc_distance(px, py):
    start, end, radius = ARC
    offset = (math.degrees(math.atan2(px, py)) - 180) % 360  # inverse of point()
    if start <= offset <= end:
        return abs(math.hypot(px, py) - radius)
    return min(math.hypot(px - x, py - y) for x, y in (point(start, radius), point(end, radius)))


def draw(size):
    """RGBA rows: the outline anti-aliased, its stroke wider in twips on the smaller icons."""
    scale = 2 * EXTENT / (size * 0.84)  # twips per icon pixel, a margin all round
    half_width = max(0.55, size / 40) * scale
    lines = [(*point(*a), *point(*b)) for a, b in HULL]
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            px, py = (x + 0.5 - size / 2) * scale, (y + 0.5 - size / 2) * scale
            near = min(arc_distance(px, py), *(segment_distance(px, py, *line) for line in lines))
            lit = max(0.0, min(1.0, (half_width - near) / scale + 0.5))
            row += bytes((round(255 * lit),) * 3 + (255,))
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) \
        + chunk(b"IEND", b"")


def ico(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset, entries, data = len(head) + 16 * len(images), b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return head + entries + data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(ico([(size, png(size, draw(size))) for size in SIZES]))


if __name__ == "__main__":
    main()
