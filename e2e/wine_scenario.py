# The Windows game under Wine, in the real-window harness: it starts with the ship centred,
# Left turns it, Space fires a pair, Esc ends it with status 0.
# Usage: wine_scenario.py wine "wine PATH/Quillfane.exe" FAILURE_FOLDER
# (WINEPREFIX and WINEDEBUG come from the environment.)

import math
import shlex
import sys

import run
from xsession import poll

# GetWindowRect's size less the client area's, with Wine's default metrics: a 4-pixel frame
# and a 19-pixel title bar. The playfield is that outer size laid from the client's top-left.
WINE_FRAME = (8, 27)


class WineGame(run.Game):
    """The game found by its title, since the process started is Wine's."""

    def __init__(self, s, game):
        self.s, self.proc, self.hidden = s, s.spawn(shlex.split(game)), set()
        # Wine's first start in a new prefix takes seconds.
        self.window = poll(lambda: s.window_of(lambda w: s.prop(w, "_NET_WM_NAME") == b"Quillfane"), 30)
        if self.window is None:
            raise self.failed("the game's window, titled Quillfane, within 30 s", "none")

    def centre(self):
        return tuple((side + frame) / 2 for side, frame in zip(self.size(), WINE_FRAME))


def pair(ship, lit):
    """Whether the bullets off the ship are one pair, one step or more from the two muzzles.
    Wine may show a frame with the bullets erased and not yet drawn again, so one look decides."""
    ux, uy = math.sin(math.radians(ship.heading)), math.cos(math.radians(ship.heading))
    seen = [((x - ship.cx) * ux + (y - ship.cy) * uy - run.MUZZLE_AHEAD, (x - ship.cx) * uy - (y - ship.cy) * ux)
            for x, y in run.spots(run.off(ship, lit))]
    k = round(seen[0][0] / run.STEP) if seen else 0
    ok = len(seen) == 2 and k >= 1 and seen[0][1] * seen[1][1] < 0 and all(
        abs(along - k * run.STEP) <= 1.5 and abs(abs(across) - run.MUZZLE_SIDE) <= 1.5 for along, across in seen)
    return ok, "bullets at (along, across) %s" % ["(%.1f, %.1f)" % p for p in seen]


def test_wine(s, game):
    game = WineGame(s, game)
    game.ready(deadline=5)
    ship = game.alone("the ship turned", game.turn(["Left"], +1, 45, 180))
    s.keys("keydown", "space")
    game.until("Space to fire a pair from the muzzles at heading %d" % ship.heading, lambda lit: pair(ship, lit))
    s.keys("keyup", "space")
    s.keys("key", "Escape")
    poll(lambda: game.proc.poll() is not None, 5)
    game.expect(game.proc.returncode == 0, "Esc to end the game with status 0 within 5 s",
                "still running" if game.proc.returncode is None else "status %d" % game.proc.returncode)


if __name__ == "__main__":
    run.TESTS["wine"] = test_wine
    sys.exit(run.main())
