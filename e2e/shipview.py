"""Finding the ship and its bullets in a picture of the playfield.

The ship is known by its shape: for a centre and heading we draw the outline the game
should show and compare it with the lit pixels. Positions are pixels from the top-left
of the client area (the playfield's origin); headings are degrees, a heading a pointing
along (sin a, cos a) with y down, so 180 is nose up and a growing heading turns the ship
counter-clockwise on the screen.
"""

import math
import random

TWIPS_PER_PIXEL = 15.0
HULL_RADIUS = 300 / TWIPS_PER_PIXEL
FLAME_RADIUS = 350 / TWIPS_PER_PIXEL
SHIELD_RADIUS = 400 / TWIPS_PER_PIXEL
MUZZLE_SPREAD = 2 * 230 * math.sin(math.radians(40)) / TWIPS_PER_PIXEL  # between the guns
MUZZLE_AHEAD = 230 * math.cos(math.radians(40)) / TWIPS_PER_PIXEL
BULLET_STEP = 200 / TWIPS_PER_PIXEL  # per frame

# (offset degrees, radius twips) of the outline points the hull and flame join.
NOSE, GUN1, INNER1, REAR1 = (0, 300), (40, 230), (120, 160), (140, 300)
GUN2, INNER2, REAR2 = (320, 230), (240, 160), (220, 300)
HULL_LINES = [(NOSE, INNER1), (INNER2, NOSE), (REAR1, GUN1), (GUN1, INNER1), (REAR2, GUN2), (GUN2, INNER2)]
FLAME_LINES = [((210, 320), (150, 320)), ((200, 330), (160, 330)), ((190, 340), (170, 340)),
               ((179, 350), (181, 350))]


def _point(cx, cy, heading, offset_radius):
    offset, radius = offset_radius
    a = math.radians(heading + offset)
    return cx + math.sin(a) * radius / TWIPS_PER_PIXEL, cy + math.cos(a) * radius / TWIPS_PER_PIXEL


def _arc(cx, cy, heading, radius, first, last):
    return [_point(cx, cy, heading, (first + i * 0.5, radius)) for i in range(int((last - first) * 2) + 1)]


def outline(cx, cy, heading, hull=True, flame=False, shield=False):
    """The pixels the ship's figures cover (one pixel wide, rounded)."""
    samples = []

    def line(a, b):
        (x0, y0), (x1, y1) = _point(cx, cy, heading, a), _point(cx, cy, heading, b)
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 3) + 1
        samples.extend((x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n) for i in range(n + 1))

    if hull:
        for a, b in HULL_LINES:
            line(a, b)
        samples.extend(_arc(cx, cy, heading, 300, 140, 220))
    if flame:
        for a, b in FLAME_LINES:
            line(a, b)
    if shield:
        samples.extend(_arc(cx, cy, heading, 400, 0, 360))
    return {(round(x), round(y)) for x, y in samples}


def grow(pixels, by=1):
    return {(x + dx, y + dy) for x, y in pixels for dx in range(-by, by + 1) for dy in range(-by, by + 1)}


def near(pixels, cx, cy, radius):
    return {p for p in pixels if math.hypot(p[0] - cx, p[1] - cy) <= radius}


def enclosing_circle(points):
    """Smallest circle (cx, cy, r) holding every point (randomised incremental)."""
    pts = list(points)
    random.Random(1).shuffle(pts)

    def holds(c, p):
        return c is not None and math.hypot(p[0] - c[0], p[1] - c[1]) <= c[2] + 1e-7

    def two(p, q):
        return (p[0] + q[0]) / 2, (p[1] + q[1]) / 2, math.hypot(p[0] - q[0], p[1] - q[1]) / 2

    def three(p, q, r):
        d = 2 * (p[0] * (q[1] - r[1]) + q[0] * (r[1] - p[1]) + r[0] * (p[1] - q[1]))
        if abs(d) < 1e-12:
            return max((two(p, q), two(p, r), two(q, r)), key=lambda c: c[2])
        ux = sum((a[0] ** 2 + a[1] ** 2) * (b[1] - c[1]) for a, b, c in ((p, q, r), (q, r, p), (r, p, q))) / d
        uy = sum((a[0] ** 2 + a[1] ** 2) * (c[0] - b[0]) for a, b, c in ((p, q, r), (q, r, p), (r, p, q))) / d
        return ux, uy, math.hypot(p[0] - ux, p[1] - uy)

    circle = None
    for i, p in enumerate(pts):
        if holds(circle, p):
            continue
        circle = (p[0], p[1], 0.0)
        for j in range(i):
            if not holds(circle, pts[j]):
                circle = two(p, pts[j])
                for k in range(j):
                    if not holds(circle, pts[k]):
                        circle = three(p, pts[j], pts[k])
    return circle


class Ship:
    """A pose fitted to a picture: centre, heading, and how well the outline matched."""

    def __init__(self, cx, cy, heading, missed, stray):
        self.cx, self.cy, self.heading = cx, cy, heading
        self.missed = missed  # share of outline pixels with no lit pixel within 1 px
        self.stray = stray  # share of nearby lit pixels more than 1 px off the outline

    def good(self):
        return self.missed <= 0.06 and self.stray <= 0.06

    def __repr__(self):
        return "ship at (%.1f, %.1f) heading %d (outline missed %.0f%%, stray lit %.0f%%)" % (
            self.cx, self.cy, self.heading, 100 * self.missed, 100 * self.stray)


def fit(lit, cx, cy, headings=range(0, 360, 5), reach=1.0, flame=False, shield=False):
    """Best pose near (cx, cy) among the headings, searching the centre +-reach px.
    An outline pixel that is lit costs nothing, one lit only a pixel away costs a little,
    one with nothing lit near costs 1; the best pose has the least cost."""
    radius = (SHIELD_RADIUS if shield else FLAME_RADIUS if flame else HULL_RADIUS) + 2
    nearby = near(lit, cx, cy, radius + reach)
    close = grow(nearby)
    best = None
    steps = [i * 0.5 for i in range(-int(reach * 2), int(reach * 2) + 1)]
    for heading in headings:
        for dx in steps:
            for dy in steps:
                shape = outline(cx + dx, cy + dy, heading % 360, flame=flame, shield=shield)
                cost = sum(0 if p in nearby else 0.25 if p in close else 1 for p in shape) / len(shape)
                if best is None or cost < best[0]:
                    best = (cost, cx + dx, cy + dy, heading % 360, shape)
    _, x, y, heading, shape = best
    around = grow(shape)
    nearby = near(lit, x, y, radius)
    return Ship(x, y, heading, sum(p not in close for p in shape) / len(shape),
                sum(p not in around for p in nearby) / max(len(nearby), 1))


def find_ship(lit, around=None, within=30, heading=None, flame=False, shield=False):
    """The ship in the lit pixels (those within `within` px of `around`, if given), or None."""
    pixels = near(lit, around[0], around[1], within) if around else lit
    if len(pixels) < 20:
        return None
    cx, cy, _ = enclosing_circle(pixels)
    headings = [heading] if heading is not None else range(0, 360, 5)
    rough = fit(pixels, cx, cy, headings, reach=0, flame=flame, shield=shield)
    return fit(pixels, rough.cx, rough.cy, [rough.heading - 5, rough.heading, rough.heading + 5]
               if heading is None else headings, reach=1.5 if flame else 1.0, flame=flame, shield=shield)


def stray_lit(lit, ship, flame=False, shield=False):
    """Lit pixels more than a pixel away from the ship's figures."""
    return lit - grow(outline(ship.cx, ship.cy, ship.heading, flame=flame, shield=shield))


def groups(pixels):
    """Pixels that touch (8-neighbours, or with one black pixel between), grouped."""
    left, found = set(pixels), []
    while left:
        todo, group = [left.pop()], []
        while todo:
            x, y = todo.pop()
            group.append((x, y))
            for dx in range(-2, 3):
                for dy in range(-2, 3):
                    if (x + dx, y + dy) in left:
                        left.remove((x + dx, y + dy))
                        todo.append((x + dx, y + dy))
        found.append(group)
    return found


def blobs(pixels):
    """Centres of the groups: where the bullets are."""
    return [(sum(p[0] for p in g) / len(g), sum(p[1] for p in g) / len(g)) for g in groups(pixels)]


def turned(before, after):
    """Signed change of heading in degrees, in (-180, 180]: positive is counter-clockwise."""
    return (after - before + 180) % 360 - 180
