"""Plays the real game in a real X session and checks what a player would see.

Usage: /usr/bin/python3 run.py TEST GAME_BINARY FAILURE_FOLDER
Each TEST starts its own Xvfb, openbox and game, and ends them all, pass or fail.
On failure it prints what it expected and what it saw, and saves the picture it
judged as FAILURE_FOLDER/TEST.png (and the whole screen as TEST-screen.png).
"""

import math
import os
import random
import signal
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shipview as sv  # noqa: E402
from xsession import Session, Timeout, poll  # noqa: E402

START_CLIENT = (474, 401)
KEYS = ("Left", "Right", "Up", "Down", "space")
PLAY_SECONDS = 60
PLAY_SEED = 1729


class Failed(Exception):
    def __init__(self, expected, saw, picture=None):
        super().__init__("expected %s; saw %s" % (expected, saw))
        self.expected, self.saw, self.picture = expected, saw, picture


def expect(condition, expected, saw, picture=None):
    if not condition:
        raise Failed(expected, saw, picture)


class Game:
    """The game process and its window, looked at and played through the session."""

    def __init__(self, session, binary):
        self.s = session
        self.proc = session.spawn([binary])
        try:
            self.window = session.window_of(pid=self.proc.pid)
        except Timeout:
            raise Failed("the game's window, framed by the window manager, within 5 s",
                         "none (game %s)" % ("running" if self.proc.poll() is None else
                                             "ended with status %d" % self.proc.returncode)) from None
        self.picture = None
        self.home = None  # where the ship should be, once the test knows

    def size(self):
        return self.s.client_rect(self.window)[2:]

    def centre(self):
        # The playfield is the window's outer size, laid from the client's top-left.
        width, height = self.size()
        left, right, top, bottom = self.s.frame_extents(self.window)
        return (width + left + right) / 2, (height + top + bottom) / 2

    def failed(self, expected, saw, picture=None):
        if self.proc.poll() is not None:
            saw += " (the game has ended, status %d)" % self.proc.returncode
        return Failed(expected, saw, picture)

    def look(self):
        self.picture = self.s.capture(*self.s.client_rect(self.window))
        return self.picture.lit()

    def until(self, expected, check, deadline=3.0):
        """Looks until check(lit) returns (True, _); check says what it saw either way."""
        seen = ["nothing"]

        def attempt():
            done, seen[0] = check(self.look())
            return done
        try:
            poll(attempt, deadline)
        except Timeout:
            raise self.failed(expected, seen[0], self.picture) from None

    def wait(self, expected, condition, saw, deadline=3.0):
        """Polls condition() until true; on timeout fails with saw()."""
        try:
            poll(condition, deadline)
        except Timeout:
            raise self.failed(expected, saw()) from None

    def throughout(self, expected, check, seconds):
        """check(lit) must hold in every picture taken for that long (a key held that long)."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            ok, seen = check(self.look())
            if not ok:
                raise self.failed(expected, seen, self.picture)
            time.sleep(0.01)

    def alone(self, heading=None, centre=None, deadline=3.0, why="the ship alone"):
        """Waits until the picture is one whole ship (at centre, with heading, if given) and
        nothing else lit; returns it."""
        found = []

        def check(lit):
            ship = sv.find_ship(lit)
            if ship is None:
                return False, "%d lit pixels and no ship" % len(lit)
            extra = sv.stray_lit(lit, ship)
            ok = ship.good() and not extra and (heading is None or ship.heading == heading)
            if centre is not None:
                ok = ok and abs(ship.cx - centre[0]) <= 1.5 and abs(ship.cy - centre[1]) <= 1.5
            found[:] = [ship]
            return ok, "%r and %d other lit pixels" % (ship, len(extra))
        place = "" if centre is None else " at (%.1f, %.1f)" % centre
        nose = "" if heading is None else " heading %d" % heading
        self.until("%s%s%s, nothing else lit" % (why, place, nose), check, deadline)
        return found[0]

    def ready(self, deadline=3.0):
        ship = self.alone(180, self.centre(), deadline, "the ship at the playfield centre, nose up")
        self.home = (ship.cx, ship.cy)
        return ship

    def view(self, lit):
        """The whole ship where the test expects it, or None. Tests whose ship moves
        replace this."""
        ship = sv.find_ship(lit, self.home, 24)
        return ship if ship is not None and ship.good() else None

    def turn(self, keys, sense, degrees, heading):
        """Holds keys until the ship has turned that far (sense +1 counter-clockwise, -1
        clockwise), checking it never turns the other way; returns the heading it settles on."""
        way = "counter-clockwise" if sense > 0 else "clockwise"
        state = {"total": 0, "last": heading}

        def check(lit):
            ship = self.view(lit)
            if ship is None:
                return False, "no whole ship in view"
            step = sv.turned(state["last"], ship.heading)
            expect(step * sense >= 0, "%s to turn the ship %s" % ("+".join(keys), way),
                   "heading went from %d to %d" % (state["last"], ship.heading), self.picture)
            state["total"] += step
            state["last"] = ship.heading
            return state["total"] * sense >= degrees, "turned %d degrees" % state["total"]
        self.s.key_down(*keys)
        self.until("%s held to turn the ship %d degrees %s" % ("+".join(keys), degrees, way), check, 5)
        self.s.key_up(*keys)
        return self.steady()

    def steady(self, expected="the ship to stop turning with its keys released"):
        """Waits until the heading stays the same for 0.15 s; returns it."""
        state = {}

        def check(lit):
            ship = self.view(lit)
            now = time.monotonic()
            if ship is None:
                return False, "no whole ship in view"
            if state.get("heading") != ship.heading:
                state.update(heading=ship.heading, since=now)
            return now - state["since"] >= 0.15, "heading %d" % ship.heading
        self.until(expected, check, 3)
        return state["heading"]

    def answers(self, deadline=3.0):
        """True when the game's event loop is running: it answers a window-manager ping."""
        return self.proc.poll() is None and self.s.ping(self.window, deadline)

    def exits(self, deadline):
        try:
            poll(lambda: self.proc.poll() is not None, deadline)
        except Timeout:
            return None
        return self.proc.returncode


# -- the tests ------------------------------------------------------------------------

def test_start(s, binary):
    launched = time.monotonic()
    game = Game(s, binary)
    expect(s.title(game.window) == "Quillfane", "the window titled Quillfane", repr(s.title(game.window)))
    expect(tuple(game.size()) == START_CLIENT, "a client area of %dx%d px" % START_CLIENT,
           "%dx%d" % tuple(game.size()))
    game.ready(deadline=max(1.0 - (time.monotonic() - launched), 0.05))


def test_turning(s, binary):
    game = Game(s, binary)
    game.ready()
    heading = game.turn(["Left"], +1, 90, 180)
    heading = game.turn(["Right"], -1, 135, heading)

    def holds(lit):
        now = game.view(lit)
        # The two key-downs may land one frame apart: allow that one step.
        return now is not None and abs(sv.turned(heading, now.heading)) <= 5, repr(now)
    s.key_down("Left", "Right")
    game.throughout("Left and Right held together to keep heading %d" % heading, holds, 0.5)
    s.key_up("Left", "Right")


def test_thrust(s, binary):
    game = Game(s, binary)
    start = game.ready()
    state = {"at": (start.cx, start.cy)}

    def burning(lit):
        ship = sv.find_ship(lit, state["at"], 40, heading=180, flame=True)
        if ship is None:
            return False, "no ship near (%.0f, %.0f)" % state["at"]
        state["at"] = (ship.cx, ship.cy)
        return (ship.good() and start.cy - ship.cy >= 20 and abs(ship.cx - start.cx) <= 1.5), repr(ship)
    s.key_down("Up")
    game.until("with Up held, the flame behind the ship and the ship moving up 20 px", burning, 5)
    s.key_up("Up")

    def flame_out(lit):
        ship = sv.find_ship(lit, state["at"], 40, heading=180)
        if ship is None:
            return False, "no ship"
        extra = sv.stray_lit(sv.near(lit, ship.cx, ship.cy, 40), ship)
        state["at"] = (ship.cx, ship.cy)
        return ship.good() and not extra, "%r and %d other lit pixels" % (ship, len(extra))
    game.until("Up released: the ship without its flame", flame_out)

    # Released, it drifts on up, leaves at the top and comes back in from the bottom.
    track = [state["at"][1]]

    def drifting(lit):
        ship = sv.find_ship(lit, heading=180)
        if ship is None or not ship.good() or sv.stray_lit(lit, ship):
            return False, "ship last seen at y %.1f" % track[-1]
        expect(abs(ship.cx - start.cx) <= 1.5, "the ship drifting straight up at x %.1f" % start.cx,
               repr(ship), game.picture)
        if ship.cy > track[-1] + 100:
            return True, "came back at y %.1f" % ship.cy
        expect(ship.cy <= track[-1] + 0.5, "the ship to keep drifting up after Up was released",
               "y went from %.1f to %.1f" % (track[-1], ship.cy), game.picture)
        track.append(ship.cy)
        return False, "ship at y %.1f" % ship.cy
    game.until("the ship to drift out at the top and come back in from the bottom", drifting, 15)
    expect(min(track) < 60, "the ship seen near the top before it came back at the bottom",
           "highest at y %.1f" % min(track))


def test_shield(s, binary):
    game = Game(s, binary)
    start = game.ready()

    def shielded(lit):
        ship = sv.find_ship(lit, heading=180, shield=True)
        if ship is None:
            return False, "%d lit pixels" % len(lit)
        extra = sv.stray_lit(lit, ship, shield=True)
        ok = ship.good() and not extra and abs(ship.cx - start.cx) <= 1.5 and abs(ship.cy - start.cy) <= 1.5
        return ok, "%r, %d other lit pixels" % (ship, len(extra))
    s.key_down("Down")
    game.until("Down held: a circle of %.1f px around the ship" % sv.SHIELD_RADIUS, shielded)
    s.key_down("space")
    game.throughout("Space pressed with the shield up to fire nothing", shielded, 0.4)
    s.key_up("space")
    s.key_up("Down")
    game.alone(180, (start.cx, start.cy), why="Down released: the ship without its shield")

    # The same Space without the shield does fire: the shield was what held it back.
    def fired(lit):
        extra = lit - sv.grow(sv.outline(start.cx, start.cy, 180))
        return bool(extra), "%d lit pixels off the ship" % len(extra)
    s.key_down("space")
    game.until("Space without the shield to fire", fired, 2)
    s.key_up("space")


def fly_volley(game, ship, hold_after=0.8):
    """With Space held, follows one pair from the guns out of the playfield and checks that
    no other bullet appears, then keeps Space held a while longer."""
    h = math.radians(ship.heading)
    ahead, side = (math.sin(h), math.cos(h)), (math.cos(h), -math.sin(h))
    state = {"k": 0, "pairs": 0}

    def on_track(x, y):
        along = (x - ship.cx) * ahead[0] + (y - ship.cy) * ahead[1]
        across = (x - ship.cx) * side[0] + (y - ship.cy) * side[1]
        k = round((along - sv.MUZZLE_AHEAD) / sv.BULLET_STEP)
        gun = 1 if across > 0 else -1
        fits = (k >= 1 and abs(along - sv.MUZZLE_AHEAD - k * sv.BULLET_STEP) <= 1.5
                and abs(across - gun * sv.MUZZLE_SPREAD / 2) <= 1.5)
        return fits, k, gun

    def check(lit):
        spots = sv.blobs(sv.stray_lit(lit, ship))
        tracks = [on_track(x, y) for x, y in spots]
        where = ", ".join("(%.1f, %.1f)" % p for p in spots) or "none"
        expect(all(t[0] for t in tracks) and len({t[2] for t in tracks}) == len(tracks),
               "bullets only on the two gun tracks from (%.1f, %.1f) heading %d, one per gun, "
               "%.1f px apart in steps of %.1f px" % (ship.cx, ship.cy, ship.heading,
                                                      sv.MUZZLE_SPREAD, sv.BULLET_STEP),
               "bullets at " + where, game.picture)
        ks = [t[1] for t in tracks]
        expect(not ks or min(ks) >= state["k"], "one pair only, moving away",
               "a bullet %d steps out after one %d steps out" % (min(ks or [0]), state["k"]), game.picture)
        if len(ks) == 2 and ks[0] == ks[1]:
            state["pairs"] += 1
        state["k"] = max(ks + [state["k"]])
        return state["pairs"] > 0 and not spots, "bullets at " + where

    game.s.key_down("space")
    game.until("Space to fire a pair that flies out of the playfield", check, 3)

    def nothing(lit):
        extra = sv.stray_lit(lit, ship)
        return not extra, "%d lit pixels off the ship" % len(extra)
    game.throughout("Space still held to fire nothing more, the pair leaving nothing behind",
                    nothing, hold_after)
    game.s.key_up("space")


def test_fire(s, binary):
    game = Game(s, binary)
    ship = game.ready()
    fly_volley(game, ship)
    # Released and pressed again, along a new heading.
    heading = game.turn(["Left"], +1, 45, 180)
    ship = game.alone(heading, game.home)
    fly_volley(game, ship, hold_after=0.2)


def test_no_trails(s, binary):
    game = Game(s, binary)
    game.ready()
    rng = random.Random(PLAY_SEED)
    end = time.monotonic() + PLAY_SECONDS
    moves = 0
    while time.monotonic() < end:
        keys = rng.choice([["Left"], ["Right"], ["Up"], ["Down"], ["space"], ["Left", "Up"],
                           ["Right", "space"], ["Down", "space"], ["Left", "Right"], ["Up", "space"]])
        s.key_down(*keys)
        time.sleep(rng.uniform(0.02, 0.06 if "Up" in keys else 0.4))  # how long the player holds
        s.key_up(*keys)
        time.sleep(rng.uniform(0, 0.15))
        moves += 1
    s.key_up(*KEYS)
    print("played %d moves (seed %d)" % (moves, PLAY_SEED))

    def only_ship(lit):
        if len(lit) < 20:
            return False, "%d lit pixels (ship out of view)" % len(lit)
        cx, cy, r = sv.enclosing_circle(lit)
        return r <= sv.HULL_RADIUS + 1.5, "%d lit pixels spread over a circle of %.1f px at (%.0f, %.0f)" % (
            len(lit), r, cx, cy)
    game.until("once the bullets are gone, every lit pixel within the ship's %.0f px radius"
               % sv.HULL_RADIUS, only_ship, 15)


def test_resize(s, binary):
    game = Game(s, binary)
    game.ready()

    def resize(width, height, done):
        s.xdotool("windowsize", game.window.id, width, height)
        game.wait("the window resized to %dx%d" % (width, height), lambda: done(game.size()),
                  lambda: "%dx%d" % tuple(game.size()))
    for width, height in ((640, 480), (300, 200)):
        resize(width, height, lambda size: tuple(size) == (width, height))
        game.alone(180, game.centre(), why="after a resize to %dx%d, the ship" % (width, height))
    resize(1, 1, lambda size: max(size) <= 20)
    expect(game.answers(), "the game running with a %dx%d window" % tuple(game.size()),
           "exit status %r" % game.proc.poll())
    s.xdotool("windowminimize", game.window.id)
    game.wait("the window minimised", lambda: s.wm_state(game.window) == 3,
              lambda: "window state %r" % s.wm_state(game.window))
    expect(game.answers(), "the game running while minimised", "exit status %r" % game.proc.poll())
    s.activate(game.window)
    resize(*START_CLIENT, lambda size: tuple(size) == START_CLIENT)
    game.ready()
    game.turn(["Left"], +1, 30, 180)


def test_focus(s, binary):
    game = Game(s, binary)
    game.ready()
    x, y, width, height = s.client_rect(game.window)
    s.spawn(["xmessage", "-name", "other", "-geometry", "%dx%d+%d+%d" % (
        width // 3, height // 2, x + 10, y + 40), "another window over the playfield"])
    other = s.window_of(title="other")
    s.activate(game.window)
    ox, oy, ow, oh = s.client_rect(other)
    left, right, top, bottom = s.frame_extents(other)
    covered = (ox - left - x, oy - top - y, ox + ow + right - x, oy + oh + bottom - y)

    def beside_other(lit):
        ship = sv.find_ship({(px, py) for px, py in lit if not (
            covered[0] <= px < covered[2] and covered[1] <= py < covered[3])})
        return ship if ship is not None and ship.good() else None
    game.view = beside_other
    where = []

    def drifting(lit):
        ship = beside_other(lit)
        where.extend([ship.cy] if ship else [])
        return len(where) > 1 and abs(where[-1] - where[0]) >= 3, "ship at y %s" % where[-3:]
    s.key_down("Up")
    game.until("Up to set the ship drifting", drifting, 3)
    s.key_up("Up")

    # A key held while the focus goes elsewhere must not stay held...
    def turning(lit):
        ship = game.view(lit)
        return ship is not None and ship.heading != 180, repr(ship)
    s.key_down("Right")
    game.until("Right to turn the ship", turning)
    s.activate(other)
    s.key_up("Right")
    held = game.steady("the ship to stop turning once another window took the focus")
    # ... and the game runs on meanwhile.
    del where[:]
    game.until("the ship to drift on with another window active", drifting, 3)

    s.activate(game.window)
    game.alone(held, why="back in the game, the playfield black but for the ship")
    game.turn(["Left"], +1, 20, held)


def test_ending(s, binary):
    def close_with(how, act, deadline):
        game = Game(s, binary)
        game.ready()
        act(game)
        status = game.exits(deadline)
        expect(status == 0, "%s to end the game with status 0 within %.0f s" % (how, deadline),
               "still running" if status is None else "status %d" % status)

    close_with("Esc", lambda g: (s.key_down("Escape"), s.key_up("Escape")), 1)

    def click_close(game):
        button = s.close_button(game.window)
        expect(button is not None, "a close button in the window's title bar", "none")
        s.xdotool("mousemove", *button)
        s.xdotool("click", 1)
    close_with("the title bar's close button", click_close, 3)
    close_with("SIGTERM", lambda g: g.proc.terminate(), 3)


TESTS = {name[5:]: test for name, test in globals().items() if name.startswith("test_")}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in TESTS:
        sys.exit("usage: run.py {%s} GAME_BINARY FAILURE_FOLDER" % ",".join(TESTS))
    name, binary, failures = sys.argv[1:]
    # A test runner's SIGTERM still ends every process this test started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    began = time.monotonic()
    session = Session()
    passed = False
    try:
        TESTS[name](session, binary)
        passed = True
    except Exception as error:
        if isinstance(error, Failed):
            print("e2e %s FAILED\n  expected: %s\n  saw:      %s" % (name, error.expected, error.saw))
        else:
            traceback.print_exc()
        session.capture_screen().save_png(os.path.join(failures, name + "-screen.png"))
        if getattr(error, "picture", None) is not None:
            error.picture.save_png(os.path.join(failures, name + ".png"))
        print("pictures in %s" % failures)
    finally:
        logs = session.close()
    if not passed:
        print("\n".join(logs))
        return 1
    print("e2e %s passed in %.1f s" % (name, time.monotonic() - began))
    return 0


if __name__ == "__main__":
    sys.exit(main())
