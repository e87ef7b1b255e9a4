#!/usr/bin/env python3
"""The first frame's reference page: the game's start picture, from its golden frame, drawn on the page's 474x401
canvas by an inline script with no wasm, as fast as a page can show it. Run at build time; web_budgets.py reads
the same picture to know the start ship when a screenshot shows it.
Usage: bench/start_reference.py GOLDEN-PGM OUT-HTML"""

import sys

WIDTH = 474  # the page's canvas, on which the game centres its ship as on any playfield
HEIGHT = 401

PAGE = """<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Quillfane start picture</title></head>
<body style="background:#000">
<canvas id="canvas" width="%d" height="%d"></canvas>
<script>
var context = document.getElementById("canvas").getContext("2d", {alpha: false});
var lit = [%s];
context.fillStyle = "#000";
context.fillRect(0, 0, %d, %d);
context.fillStyle = "#fff";
for (var i = 0; i < lit.length; i += 2) context.fillRect(lit[i], lit[i + 1], 1, 1);
</script>
</body>
</html>
"""


def start_ship(golden):
    """The (x, y) of each pixel the start picture lights, moved from the golden frame's playfield to the
    middle of the page's canvas."""
    with open(golden, "rb") as pgm:
        data = pgm.read()
    magic, width, height, most = data.split(maxsplit=4)[:4]
    pixels = data[-int(width) * int(height):]
    if magic != b"P5" or most != b"255":
        raise ValueError("%s: not an 8-bit binary PGM" % golden)
    width = int(width)
    right = WIDTH // 2 - width // 2
    down = HEIGHT // 2 - int(height) // 2
    return {(at % width + right, at // width + down) for at, grey in enumerate(pixels) if grey}


def main():
    golden, out = sys.argv[1:3]
    lit = sorted(start_ship(golden))
    coordinates = ",".join("%d,%d" % pixel for pixel in lit)
    with open(out, "w") as page:
        page.write(PAGE % (WIDTH, HEIGHT, coordinates, WIDTH, HEIGHT))


if __name__ == "__main__":
    main()
