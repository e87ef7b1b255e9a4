"""Plays the real game in its own X session and checks what a player sees.
Usage: run.py TEST GAME FAILURE_FOLDER | run.py screenshot GAME OUTPUT.png"""

import math
import os
import random
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import SCREEN, Failed, Session, poll  # noqa: E402

# Pixel positions are from the client area's top-left; a heading h (degrees) points along
# (sin h, cos h) with y down, so 180 is nose up and a growing heading turns counter-clockwise.
TWIPS = 15.0  # per pixel
MUZZLE_AHEAD, MUZZLE_SIDE = 230 * math.cos(math.radians(40)) / TWIPS, 230 * math.sin(math.radians(40)) / TWIPS
STEP = 200 / TWIPS  # a bullet's flight per frame
START_SIZE = (474, 401)
# The outline's lines, between points given as (degrees from the nose, radius in twips).
NOSE, GUN1, INNER1, GUN2, INNER2 = (0, 300), (40, 230), (120, 160), (320, 230), (240, 160)
HULL = [(NOSE, INNER1), (INNER2, NOSE), ((140, 300), GUN1), (GUN1, INNER1), ((220, 300), GUN2), (GUN2, INNER2)]
FLAME = [((210, 320), (150, 320)), ((200, 330), (160, 330)), ((190, 340), (170, 340)), ((179, 350), (181, 350))]


def outline(cx, cy, heading, flame=False, shield=False):
    """The pixels the ship's figures cover (one pixel wide)."""
    def at(offset, radius):
        a = math.radians(heading + offset)
        return cx + math.sin(a) * radius / TWIPS, cy + math.cos(a) * radius / TWIPS
    points = [at(140 + i / 2, 300) for i in range(161)] + [at(i / 2, 400) for i in range(720 if shield else 0)]
    for a, b in HULL + (FLAME if flame else []):
        (x0, y0), (x1, y1) = at(*a), at(*b)
        points += [(x0 + (x1 - x0) * i / 60, y0 + (y1 - y0) * i / 60) for i in range(61)]
    return {(round(x), round(y)) for x, y in points}


def grow(pixels):
    return {(x + dx, y + dy) for x, y in pixels for dx in (-1, 0, 1) for dy in (-1, 0, 1)}


def mean(points):
    return sum(p[0] for p in points) / len(points), sum(p[1] for p in points) / len(points)


def spots(pixels):
    """Centres of the clusters of pixels: where the bullets are."""
    clusters = []
    for p in sorted(pixels):
        near = [c for c in clusters if abs(c[0][0] - p[0]) <= 2 and abs(c[0][1] - p[1]) <= 2]
        near[0].append(p) if near else clusters.append([p])
    return [mean(c) for c in clusters]


def turned(before, after):
    """Signed change of heading in (-180, 180]: positive is counter-clockwise."""
    return (after - before + 180) % 360 - 180


class Ship:
    """A pose compared with the lit pixels: share of the outline unlit, and the lit pixels off it."""

    def __init__(self, lit, cx, cy, heading, flame=False, shield=False):
        self.cx, self.cy, self.heading = cx, cy, heading % 360
        shape = outline(cx, cy, heading, flame, shield)
        self.missed = len(shape - grow(lit)) / len(shape)
        self.stray = lit - grow(shape)
        self.good = self.missed <= 0.06 and len(self.stray) <= 0.06 * len(lit)
        self.alone = self.good and not self.stray

    def __repr__(self):
        return "ship at (%.1f, %.1f) heading %d, %.0f%% of it unlit, %d lit pixels off it" % (
            self.cx, self.cy, self.heading, 100 * self.missed, len(self.stray))


def find_ship(lit, heading=None, flame=False, shield=False):
    """The ship that best fits the lit pixels round their median, or None if too few are lit."""
    if len(lit) < 20:
        return None
    mx, my = (sorted(c)[len(lit) // 2] for c in zip(*lit))
    near = {p for p in lit if math.hypot(p[0] - mx, p[1] - my) < 34}  # not the bullets further out
    if len(near) < 20:
        return None
    gx, gy = mean(near)
    headings = [heading]
    if heading is None:
        # The outline's centroid lies behind its centre: the nose is the pixel farthest from it.
        nx, ny = max(near, key=lambda p: math.hypot(p[0] - gx, p[1] - gy))
        h = round(math.degrees(math.atan2(nx - gx, ny - gy)) / 5) * 5
        headings = [h - 5, h, h + 5]
    close, fits = grow(near), []
    for h in headings:
        # Centroid on centroid (the game's lines are thinner than the model's, which shifts it),
        # then the best half-pixel shift.
        ox, oy = mean(outline(0, 0, h, flame, shield))
        for x, y in ((gx - ox + dx / 2, gy - oy + dy / 2) for dx in range(-2, 3) for dy in range(-2, 3)):
            shape = outline(x, y, h, flame, shield)
            fits.append((len(shape - near) + 3 * len(shape - close), x, y, h))
    return Ship(lit, *min(fits)[1:], flame, shield)


class Game:
    def __init__(self, s, binary):
        self.s, self.proc, self.hidden = s, s.spawn([binary]), set()
        self.window = s.window_of(lambda w: s.prop(w, "_NET_WM_PID") == [self.proc.pid])
        if self.window is None:
            raise self.failed("the game's window, framed, within 5 s", "none")

    def size(self):
        return tuple(self.s.rect(self.window)[2:])

    def centre(self):
        # The playfield is the window's outer size, laid from the client's top-left.
        left, right, top, bottom = self.s.prop(self.window, "_NET_FRAME_EXTENTS")
        width, height = self.size()
        return (width + left + right) / 2, (height + top + bottom) / 2

    def failed(self, expected, saw):
        ended = self.proc.poll() is not None
        return Failed(expected, "%s%s" % (saw, " (the game ended, status %d)" % self.proc.returncode if ended else ""))

    def look(self):
        return self.s.capture(*self.s.rect(self.window)).lit - self.hidden

    def until(self, expected, check, deadline=3.0, hold=False, look=True):
        """Polls check(lit) -> (ok, saw) until ok (with hold: while ok that long); returns saw."""
        end = time.monotonic() + deadline
        while True:
            ok, saw = check(self.look()) if look else check()
            over = time.monotonic() > end
            if ok and (over or not hold):
                return saw
            if over or not ok and hold:
                raise self.failed(expected, saw)
            time.sleep(0.005)

    def alone(self, why, heading=None, centre=None, deadline=3.0, hold=False, **figures):
        """One whole ship (at that centre, with that heading) and nothing else lit."""
        def check(lit):
            ship = find_ship(lit, heading, **figures)
            return ship and ship.alone and (not centre or math.dist((ship.cx, ship.cy), centre) <= 1.5), \
                ship or "%d lit pixels" % len(lit)
        return self.until("%s%s%s, nothing else lit" % (why, centre and " at (%.1f, %.1f)" % centre or "",
                                                         "" if heading is None else " heading %d" % heading),
                          check, deadline, hold)

    def ready(self, deadline=3.0):
        return self.alone("the ship at the playfield's centre", 180, self.centre(), deadline)

    def view(self, lit):
        """The whole ship, with its flame or without, or None."""
        return next((ship for flame in (False, True) if (ship := find_ship(lit, flame=flame)) and ship.good), None)

    def turn(self, keys, sense, degrees, heading):
        """Holds keys till the ship turns that far (sense +1: counter-clockwise), never the other way."""
        way = "%s to turn the ship %d degrees %sclockwise" % ("+".join(keys), degrees, "counter-" * (sense > 0))
        state = {"total": 0, "last": heading}

        def check(lit):
            ship = self.view(lit)
            if ship is None:
                return False, "no whole ship"
            step = turned(state["last"], ship.heading)
            if step * sense < 0:
                raise self.failed(way, "heading %d then %d" % (state["last"], ship.heading))
            state.update(total=state["total"] + step, last=ship.heading)
            return state["total"] * sense >= degrees, "turned %d degrees" % state["total"]
        self.s.keys("keydown", *keys)
        self.until(way, check, 5)
        self.s.keys("keyup", *keys)
        return self.steady()

    def steady(self, expected="the ship to stop turning with its keys released"):
        """The heading, once it has stayed the same for 0.15 s."""
        since = {}

        def check(lit):
            ship = self.view(lit)
            if ship and ship.heading not in since:
                since.clear()
                since[ship.heading] = time.monotonic()
            return ship and time.monotonic() - since[ship.heading] >= 0.15, ship or "no whole ship"
        return self.until(expected, check).heading

    def expect(self, ok, expected, saw):
        if not ok:
            raise self.failed(expected, saw)


def off(ship, lit):
    """The lit pixels off that ship's hull."""
    return Ship(lit, ship.cx, ship.cy, ship.heading).stray


def test_start(s, binary):
    launched = time.monotonic()
    game = Game(s, binary)
    title = s.prop(game.window, "_NET_WM_NAME")
    game.expect(title == b"Quillfane", "the window titled Quillfane", repr(title))
    game.expect(game.size() == START_SIZE, "a client area of %dx%d" % START_SIZE, "%dx%d" % game.size())
    game.ready(deadline=max(1.0 - (time.monotonic() - launched), 0.05))


def test_turning(s, binary):
    game = Game(s, binary)
    game.ready()
    heading = game.turn(["Left"], +1, 90, 180)
    heading = game.turn(["Right"], -1, 135, heading)
    s.keys("keydown", "Left", "Right")
    # The two key-downs may land a frame apart: one step is allowed.
    game.until("Left+Right held to keep heading %d" % heading, lambda lit: (
        (ship := game.view(lit)) and abs(turned(heading, ship.heading)) <= 5, ship), 0.5, hold=True)
    s.keys("keyup", "Left", "Right")


def test_thrust(s, binary):
    game = Game(s, binary)
    start = game.ready()

    s.keys("keydown", "Up")
    game.until("Up held: the flame behind the ship, nothing else lit, the ship 20 px higher", lambda lit: (
        (ship := find_ship(lit, 180, flame=True)) and ship.alone and start.cy - ship.cy >= 20
        and abs(ship.cx - start.cx) <= 1.5, ship), 5)
    s.keys("keyup", "Up")
    track = [game.alone("Up released: the ship without its flame", 180).cy]

    def drifting(lit):
        ship = find_ship(lit, 180)
        if ship is None or not ship.alone:
            return False, "the ship last whole at y %.1f" % track[-1]
        game.expect(abs(ship.cx - start.cx) <= 1.5, "the ship at x %.1f" % start.cx, ship)
        if ship.cy > track[-1] + 100:
            return True, "back at y %.1f" % ship.cy
        game.expect(ship.cy <= track[-1] + 0.5, "the ship drifting on up", "y %.1f then %.1f" % (track[-1], ship.cy))
        track.append(ship.cy)
        return False, "the ship at y %.1f" % ship.cy
    game.until("the ship to drift out at the top and come back at the bottom", drifting, 15)
    game.expect(min(track) < 60, "the ship near the top before it came back", "highest at y %.1f" % min(track))


def test_shield(s, binary):
    game = Game(s, binary)
    start = game.ready()
    centre = (start.cx, start.cy)
    s.keys("keydown", "Down")
    game.alone("Down held: the shield circle round the ship", 180, centre, shield=True)
    s.keys("keydown", "space")
    game.alone("Space with the shield up to fire nothing", 180, centre, deadline=0.4, hold=True, shield=True)
    s.keys("keyup", "space", "Down")
    game.alone("Down released: the ship without its shield", 180, centre)
    s.keys("keydown", "space")
    game.until("Space without the shield to fire", lambda lit: (bool(off(start, lit)), "nothing fired"), 2)
    s.keys("keyup", "space")


def volley(game, ship, hold_after):
    """Space held: one pair from the muzzles flies along the heading and out, then nothing more."""
    ux, uy = math.sin(math.radians(ship.heading)), math.cos(math.radians(ship.heading))
    state = {"k": 0, "pair": False}
    expected = "one pair from the muzzles at heading %d, %.1f px further each frame" % (ship.heading, STEP)

    def check(lit):
        bullets = spots(off(ship, lit))
        saw, steps = "bullets at " + (" ".join("(%.1f, %.1f)" % p for p in bullets) or "none"), {}
        for x, y in bullets:
            along = (x - ship.cx) * ux + (y - ship.cy) * uy - MUZZLE_AHEAD
            across = (x - ship.cx) * uy - (y - ship.cy) * ux
            k = round(along / STEP)
            if k < max(state["k"], 1) or abs(along - k * STEP) > 1.5 or abs(abs(across) - MUZZLE_SIDE) > 1.5 \
                    or (across > 0) in steps:
                raise game.failed(expected, saw)
            steps[across > 0] = k
        state["pair"] |= len(steps) == 2 and len(set(steps.values())) == 1
        state["k"] = max([state["k"], *steps.values()])
        return state["pair"] and not bullets, saw
    game.s.keys("keydown", "space")
    game.until(expected, check)
    game.until("Space held on to fire nothing more",
               lambda lit: (not (o := off(ship, lit)), "%d lit pixels off the ship" % len(o)), hold_after, hold=True)
    game.s.keys("keyup", "space")


def test_fire(s, binary):
    game = Game(s, binary)
    volley(game, game.ready(), 0.8)
    # Released and pressed again, along a new heading.
    heading = game.turn(["Left"], +1, 45, 180)
    volley(game, game.alone("the ship turned", heading), 0.2)


def test_no_trails(s, binary):
    game = Game(s, binary)
    game.ready()
    rng, end = random.Random(1729), time.monotonic() + 60
    while time.monotonic() < end:
        keys = rng.choice([["Left"], ["Right"], ["Up"], ["Down"], ["space"], ["Left", "Up"],
                           ["Right", "space"], ["Down", "space"], ["Left", "Right"], ["Up", "space"]])
        s.keys("keydown", *keys)
        time.sleep(rng.uniform(0.02, 0.06 if "Up" in keys else 0.4))  # how long the player holds them
        s.keys("keyup", *keys)
        time.sleep(rng.uniform(0, 0.15))
    s.keys("keyup", "Left", "Right", "Up", "Down", "space")
    game.alone("after a minute of random play, once the bullets are gone, the ship", deadline=15)


def test_resize(s, binary):
    game = Game(s, binary)
    game.ready()

    def resize(size):
        s.xdotool("windowsize", game.window.id, *size)
        game.until("the window resized to %dx%d" % size, lambda: (game.size() == size, "%dx%d" % game.size()),
                   look=False)
    for size in ((640, 480), (300, 200)):
        resize(size)
        game.alone("after a resize to %dx%d, the ship" % size, 180, game.centre())
    resize((1, 1))
    game.expect(s.ping(game.window), "the game to run on with a %dx%d window" % game.size(), "no answer to a ping")
    s.xdotool("windowminimize", game.window.id)
    game.until("the window minimised", lambda: (s.prop(game.window, "WM_STATE")[0] == 3, "not minimised"),
               look=False)
    game.expect(s.ping(game.window), "the game to run on while minimised", "no answer to a ping")
    s.activate(game.window)
    resize(START_SIZE)
    game.ready()
    game.turn(["Left"], +1, 30, 180)


def test_focus(s, binary):
    game = Game(s, binary)
    game.ready()
    x, y, width, height = s.rect(game.window)
    s.spawn(["xmessage", "-geometry", "%dx%d+%d+%d" % (width // 3, height // 2, x + 10, y + 40), "another window"])
    other = s.window_of(lambda w: w.id != game.window.id)
    s.activate(game.window)
    # What the other window covers, frame and all, is not the game's.
    ox, oy, ow, oh = s.rect(other)
    left, right, top, bottom = s.prop(other, "_NET_FRAME_EXTENTS")
    game.hidden = {(px - x, py - y) for px in range(ox - left, ox + ow + right)
                   for py in range(oy - top, oy + oh + bottom)}
    seen = []

    def drifting(lit):
        ship = game.view(lit)
        seen.extend([ship.cy] if ship else [])
        return len(seen) > 1 and abs(seen[-1] - seen[0]) >= 3, "the ship at y %s" % seen[-3:]
    s.keys("keydown", "Up")
    game.until("Up to set the ship drifting", drifting)
    s.keys("keyup", "Up")
    # A key held while the focus goes elsewhere must not stay held...
    s.keys("keydown", "Right")
    game.until("Right to turn the ship", lambda lit: ((ship := game.view(lit)) and ship.heading != 180, ship))
    s.activate(other)
    s.keys("keyup", "Right")
    held = game.steady("the ship to stop turning once another window has the focus")
    # ... and the game runs on meanwhile.
    del seen[:]
    game.until("the ship to drift on with another window active", drifting)
    s.activate(game.window)
    game.alone("back in the game, the playfield black but for the ship", held)
    game.turn(["Left"], +1, 20, held)


def test_ending(s, binary):
    for how, deadline in (("Esc", 1), ("the title bar's close button", 3), ("SIGTERM", 3)):
        game = Game(s, binary)
        game.ready()
        if how == "Esc":
            s.keys("key", "Escape")
        elif how == "SIGTERM":
            game.proc.terminate()
        else:
            button = s.close_button(game.window)
            game.expect(button, "a close button in the title bar", "none")
            s.xdotool("mousemove", *button, "click", 1)
        poll(lambda: game.proc.poll() is not None, deadline)
        game.expect(game.proc.returncode == 0, "%s to end the game with status 0 within %d s" % (how, deadline),
                    "still running" if game.proc.returncode is None else "status %d" % game.proc.returncode)


def screenshot(s, binary, output):
    """Keeps a picture of the window, frame and all, with the ship turned a little, thrusting,
    and a pair of bullets 45 to 90 px out."""
    game = Game(s, binary)
    game.ready()
    heading = game.turn(["Left"], +1, 25, 180)
    x, y, width, height = s.rect(game.window)
    left, right, top, bottom = s.prop(game.window, "_NET_FRAME_EXTENTS")

    def score(frame):
        lit = {(px - left, py - top) for px, py in frame.lit if left <= px < left + width and top <= py < top + height}
        ship = find_ship(lit, heading, flame=True) if len(lit) < 400 else None
        bullets = spots(ship.stray) if ship and ship.missed <= 0.06 else []
        far = [math.hypot(bx - ship.cx, by - ship.cy) for bx, by in bullets]
        return min(far) if len(far) == 2 and 45 <= min(far) <= max(far) <= 90 else 0
    s.keys("keydown", "Up")
    for _ in range(5):
        s.keys("keydown", "space")
        # Grab pictures while the pair flies; choose among them at leisure.
        frames = [s.capture(x - left, y - top, width + left + right, height + top + bottom) for _ in range(150)]
        s.keys("keyup", "space")
        best = max(frames[::3], key=score)
        if score(best):
            return best.save_png(output)
    raise Failed("a picture of the ship thrusting with a pair of bullets on their way", "none in 5 tries")


TESTS = {name[5:]: test for name, test in globals().items() if name.startswith("test_")}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in [*TESTS, "screenshot"]:
        sys.exit(__doc__)
    name, binary, out = sys.argv[1:]
    # A test runner's SIGTERM still ends every process this test started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    began, s, error = time.monotonic(), Session(), None
    try:
        screenshot(s, binary, out) if name == "screenshot" else TESTS[name](s, binary)
    except Exception as e:
        error = e
        print("e2e %s FAILED: %s" % (name, e)) if isinstance(e, Failed) else traceback.print_exc()
        if name != "screenshot":  # the last picture judged, and the whole screen
            s.last and s.last.save_png(os.path.join(out, name + ".png"))
            s.capture(0, 0, *SCREEN).save_png(os.path.join(out, name + "-screen.png"))
    finally:
        logs = s.close()
    print("\n".join(logs) if error else "e2e %s passed in %.1f s" % (name, time.monotonic() - began))
    return 1 if error else 0


if __name__ == "__main__":
    sys.exit(main())
