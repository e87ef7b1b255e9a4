# The real game in its own X session (Xvfb, a window manager, keys through XTEST, the
# window's pixels read back), checked against what a player sees.
# Usage: run.py SCENARIO GAME FAILURE_DIR, where GAME is a command line ("wine64 Q.exe" too).
import ctypes, math, os, shlex, struct, subprocess, sys, tempfile, time  # noqa: E401
from Xlib import X, display

DEG = 6.28318530717958 / 360  # the game's own radians per degree
# The hull's points (degrees from the nose, radius in twips) and lines, each from its first point.
POINTS = {1: (0, 300), 2: (140, 300), 3: (220, 300), 13: (40, 230), 14: (120, 160), 16: (320, 230), 17: (240, 160)}
HULL = [(1, 14), (17, 1), (2, 13), (13, 14), (3, 16), (16, 17)]


def expect(ok, expected, saw):
    if not ok:
        raise AssertionError("expected %s; saw %s" % (expected, saw))


def poll(check, deadline=3.0):  # check()'s first true result within the deadline, else its last
    end = time.monotonic() + deadline
    while not (got := check()) and time.monotonic() < end:
        time.sleep(0.01)
    return got


def px(twips):  # the pixel whose 15-twip cell holds the single-precision coordinate
    return math.floor(struct.unpack("f", struct.pack("f", twips))[0] / 15)


def line(x, y, x1, y1):  # Bresenham, walked from the first end: a pixel halfway steps on toward the second
    n = max(abs(x1 - x), abs(y1 - y), 1)
    at = lambda a, b, k: a + (1 if b > a else -1) * ((2 * abs(b - a) * k + n) // (2 * n))  # noqa: E731
    return {(at(x, x1, k), at(y, y1, k)) for k in range(n + 1)}


def arc(cx, cy, radius, start, end):  # the midpoint circle's pixels from start to end, counter-clockwise
    x, y, err, turn, offsets = round(radius / 15), 0, 1 - round(radius / 15), 2 * math.pi, set()
    while x >= y:
        offsets |= {(x, y), (y, x), (-y, x), (-x, y), (-x, -y), (-y, -x), (y, -x), (x, -y)}
        y += 1
        err, x = (err + 2 * y + 1, x) if err < 0 else (err + 2 * (y - x + 1) + 1, x - 1)
    s, e = (angle % turn for angle in struct.unpack("2f", struct.pack("2f", start, end)))
    return {(px(cx) + dx, px(cy) + dy) for dx, dy in offsets
            for a in [math.atan2(-dy, dx) % turn] if (s <= a <= e if s <= e else a >= s or a <= e)}


def ship(x, y, h):  # the pixels DrawShip lights with no key held, for a centre in twips and a heading h
    p = {i: (px(x + math.sin(h + a * DEG) * r), px(y + math.cos(h + a * DEG) * r)) for i, (a, r) in POINTS.items()}
    room = 360 - h / DEG
    out = arc(x, y, 300, h + 50 * DEG - (room <= 50) * 360 * DEG, h + 130 * DEG - (room <= 130) * 360 * DEG)
    return out.union(*(line(*p[a], *p[b]) for a, b in HULL))


def grow(pixels):
    return {(x + i, y + j) for x, y in pixels for i in (-1, 0, 1) for j in (-1, 0, 1)}


def fit(lit):  # the ship nearest the lit pixels: (pixels over one pixel off either way, heading, centre)
    best, near, gx, gy = (1 << 30, 0, 0, 0), grow(lit), *(sum(c) / max(len(lit), 1) for c in zip(*lit or [(0, 0)]))
    for deg in range(0, 360, 5):  # centred by the centroid, at every heading
        cx, cy = (2 * g - sum(c) / len(c) for g, c in zip((gx, gy), zip(*ship(gx * 15, gy * 15, deg * DEG))))
        model = ship(cx * 15, cy * 15, deg * DEG)
        best = min(best, (len(lit - grow(model)) + len(model - near), len(lit ^ model), deg, (cx, cy)))
    return best[0], best[2], best[3]


class XSession:
    # Xvfb on a display it picks itself and a window manager (wm=None: none); close() ends,
    # each by its PID, every program started with spawn().
    def __init__(self, wm=("openbox", "--sm-disable"), size=(1024, 768)):
        self.procs, self.shot, self.tmp = [], None, tempfile.TemporaryDirectory(prefix="quillfane-x")
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.tmp.name, WAYLAND_DISPLAY="", SDL_VIDEODRIVER="")
        self.log = open(os.path.join(self.tmp.name, "log"), "w+b")  # a pipe nobody reads could block them
        self.xvfb = self.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % size, "-nolisten", "tcp"],
                               subprocess.PIPE)
        self.env["DISPLAY"] = ":%d" % int(self.xvfb.stdout.readline())
        self.d = display.Display(self.env["DISPLAY"])
        self.root = self.d.screen().root
        if wm:  # it takes windows once it has published the work area
            self.spawn(list(wm))
            workarea = self.d.intern_atom("_NET_WORKAREA")
            expect(poll(lambda: self.root.get_full_property(workarea, 0), 10), "a window manager", "none")

    def spawn(self, argv, stdout=None):  # prctl: it ends with this script, should a test runner kill that
        self.procs.append(subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, stdout=stdout or self.log,
                                           stderr=self.log, preexec_fn=lambda: ctypes.CDLL(None).prctl(1, 15)))
        return self.procs[-1]

    def close(self):  # returns what the programs printed
        self.xvfb.poll() is None and self.d.close()
        for proc in reversed(self.procs):
            proc.terminate()
            poll(lambda: proc.poll() is not None) or proc.kill()
        return "".join("%s (pid %d): %s\n" % (p.args, p.pid, p.wait()) for p in self.procs) + open(self.log.name).read()

    def find(self, title, deadline=5):  # by name, as that works with any window manager or none and any program
        ids = poll(lambda: self.xdo("search --name", "^%s$" % title).split(), deadline)
        return ids and self.d.create_resource_object("window", int(ids[0]))

    def rect(self, window):  # x, y, width, height on the screen; the outer width and height; the frame's top
        g, origin = window.get_geometry(), window.translate_coords(self.root, 0, 0)
        frame = window.get_full_property(self.d.intern_atom("_NET_FRAME_EXTENTS"), 0)
        left, right, top, bottom = frame.value if frame else [0] * 4
        return -origin.x, -origin.y, g.width, g.height, g.width + left + right, g.height + top + bottom, top

    def capture(self, window):  # the window's lit (not black) pixels, as the screen shows them
        x, y, w, h = self.rect(window)[:4]
        self.shot = w, h, self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data
        return {(i % w, i // w) for i, v in enumerate(memoryview(self.shot[2]).cast("I")) if v & 0xFFFFFF}

    def save(self, path):  # the last capture, in grey (PGM: any image viewer or convert reads it)
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        open(path, "wb").write(b"P5 %d %d 255\n" % self.shot[:2] + self.shot[2][1::4])

    def xdo(self, script, *more):  # xdotool's commands, such as "keydown Up sleep 0.2 keyup Up"; returns its output
        run = subprocess.run(["xdotool", *script.split(), *more], env=self.env, stdout=subprocess.PIPE, stderr=self.log)
        return run.stdout


class Game:
    def __init__(self, s, argv, frame=None, deadline=5):  # frame: the outer size less the client's, if not the WM's
        self.s, self.proc, self.hidden, self.frame = s, s.spawn(argv), set(), frame
        self.window = s.find("Quillfane", deadline)
        expect(self.window, "a window titled Quillfane within %d s" % deadline, "none")

    def lit(self):
        self.seen, self.when = self.s.capture(self.window) - self.hidden, time.monotonic()
        return self.seen

    def shows_start(self, why):  # the ship alone, nose up, centred on the outer size laid from the client's corner
        def check():
            _, _, w, h, outer_w, outer_h, _ = self.s.rect(self.window)
            outer_w, outer_h = (w + self.frame[0], h + self.frame[1]) if self.frame else (outer_w, outer_h)
            self.want = {p for p in ship(outer_w * 7.5, outer_h * 7.5, 180 * DEG) if p[0] < w and p[1] < h}
            return self.lit() == self.want
        expect(poll(check), why + ": the ship alone, nose up, centred on the outer size",
               "%d pixels lit amiss, %d unlit amiss" % (len(self.seen - self.want), len(self.want - self.seen)))

    def alone(self, why, deadline=3.0):  # exactly one ship on screen: its heading, centre and time
        got = poll(lambda: (f := fit(self.lit()))[0] == 0 and (f[1], f[2], self.when), deadline)
        expect(got, why + ": exactly one ship and nothing else", "%d pixels off the nearest" % fit(self.seen)[0])
        return got

    def turn(self, key, sense):  # held, turns the ship that way (sense 1: counter-clockwise)
        before = self.alone("before " + key)[0]
        self.s.xdo("keydown %s sleep 0.15 keyup %s" % (key, key))
        turned = (self.alone(key + " released")[0] - before + 180) % 360 - 180
        expect(turned * sense > 0, "%s to turn the ship %sclockwise" % (key, "counter-" * (sense > 0)), "%d°" % turned)

    def ends(self, how):
        poll(lambda: self.proc.poll() is not None)
        expect(self.proc.returncode == 0, how + " to end the game with status 0", "status %s" % self.proc.returncode)


# Each scenario starts with the game showing its start picture.
def start(s, game):
    expect(s.rect(game.window)[2:4] == (474, 401), "a 474x401 client area", s.rect(game.window)[2:4])
    s.xdo("key Escape")
    game.ends("Esc")


def flight(s, game):
    game.turn("Left", 1)
    s.xdo("keydown Down sleep 0.2 keyup Down keydown space sleep 0.1 keyup space")
    expect(poll(lambda: fit(game.lit())[0] >= 2, 1), "Space to fire a pair of bullets", "none")
    game.turn("Right", -1)  # so as not to fly along the bullets' path, which the shield's erasing wipes
    s.xdo("keydown Up space sleep 0.3 keyup Up space")
    _, a, t0 = game.alone("the bullets gone")
    time.sleep(0.3)
    _, b, t1 = game.alone("drifting")
    # Long enough to cross the whole playfield one way, so past an edge at least once.
    crossing = (t1 - t0) * min(n / max(abs(j - i), .1) for n, i, j in zip(s.rect(game.window)[4:6], a, b))
    expect(crossing < 8, "the ship to cross the playfield within 8 s", "%.1f s to cross it" % crossing)
    time.sleep(crossing)
    game.alone("the ship past an edge", 5)
    s.xdo("key Escape")
    game.ends("Esc")


def resize(s, game):
    for size in ((640, 480), (60, 40)):
        s.xdo("windowsize %d %d %d" % (game.window.id, *size))
        expect(poll(lambda: s.rect(game.window)[2:4] == size), "a resize to %dx%d" % size, s.rect(game.window)[2:4])
        game.shows_start("resized")
    s.xdo("windowminimize --sync %d windowactivate --sync %d" % (game.window.id, game.window.id))
    game.shows_start("minimised and restored")


def focus(s, game):
    s.xdo("keydown Up sleep 0.1 keyup Up")
    x, y, w, h = s.rect(game.window)[:4]
    s.spawn(["xmessage", "-geometry", "120x80+%d+%d" % (x + w - 130, y + 30), "another window"])
    s.xdo("windowactivate --sync %d" % s.find("xmessage").id)
    game.hidden = {(i, j) for i in range(w - 150, w) for j in range(h)}  # the other window and its frame
    first = game.alone("another window active")
    expect(poll(lambda: game.alone("another window active")[1] != first[1], 1), "the ship drifting on", "it stood")
    game.hidden = set()
    s.xdo("windowactivate --sync %d" % game.window.id)
    game.alone("the game active again, repainted")
    game.turn("Left", 1)


def ending(s, game):  # Esc: see start
    x, y, w, _, _, _, top = s.rect(game.window)  # openbox's default theme: the title bar's right end
    s.xdo("mousemove %d %d click 1" % (x + w - 10, y - top // 2))
    game.ends("a click on the close button")
    (game := Game(s, game.proc.args)).shows_start("at start")
    game.proc.terminate()
    game.ends("SIGTERM")


def wine(s, game):  # Quillfane.exe under Wine: Left turns, Space fires a pair, Esc ends it
    game.turn("Left", 1)
    heading, (cx, cy), _ = game.alone("turned")
    s.xdo("keydown space")
    off = lambda: game.lit() - grow(ship(cx * 15, cy * 15, heading * DEG))  # noqa: E731
    pair = lambda p: 2 <= len(p) <= 8 and max(math.dist(a, b) for a in p for b in p) > 15  # noqa: E731
    expect(poll(lambda: pair(off()), 2), "Space to fire a pair of bullets", "%d pixels off the ship" % len(off()))
    s.xdo("keyup space key Escape")
    game.ends("Esc")


def unshown(s, argv):  # a window manager that never maps a window: the game still ends or says why
    game = s.spawn(argv)
    time.sleep(1)
    game.terminate()
    expect(poll(lambda: game.poll() == 0, 1), "SIGTERM to end a game not yet shown within 1 s", game.poll())
    began, game = time.monotonic(), s.spawn(argv)
    poll(lambda: game.poll() is not None, 8)
    said = open(s.log.name).read().count("window manager did not show")
    expect(game.poll() == 1 and said == 1 and 4.8 < time.monotonic() - began < 6.5,
           "status 1 and one line after 5 s", "status %s, %d lines after %.1f s" % (game.poll(), said, time.monotonic() - began))


def failures(s, argv):  # with no window manager: a window too large to show, then the X server gone
    game = Game(s, argv)
    for size in ("9000 9000", "9500 9000", "474 401"):
        s.xdo("windowsize %d %s sleep 0.3" % (game.window.id, size))
    game.shows_start("back to its size after 9000x9000")
    s.xvfb.kill()
    poll(lambda: game.proc.poll() is not None)
    lines = [line for line in open(s.log.name).read().splitlines() if "quillfane" in line]
    expect(game.proc.poll() == 1 and len(lines) == 2 and "more than" in lines[0] and s.env["DISPLAY"] in lines[1],
           "one line on the size, one naming the lost display, status 1", "status %s: %s" % (game.proc.poll(), lines))


NO_MAP_WM = """from Xlib import X, Xatom, display
d = display.Display()
d.screen().root.change_attributes(event_mask=X.SubstructureRedirectMask)
d.screen().root.change_property(d.intern_atom("_NET_WORKAREA"), Xatom.CARDINAL, 32, [0, 0, 1, 1])
while True: d.next_event()"""


def main():
    (name, argv, failures_dir), began = sys.argv[1:], time.monotonic()
    wm = {"unshown": (sys.executable, "-c", NO_MAP_WM), "failures": None}.get(name, ("openbox", "--sm-disable"))
    s, argv = XSession(wm), shlex.split(argv)
    try:
        if name in ("unshown", "failures"):
            globals()[name](s, argv)
        else:
            (game := Game(s, argv, *((8, 27), 30) if name == "wine" else ())).shows_start("at start")
            {f.__name__: f for f in (start, flight, resize, focus, ending, wine)}[name](s, game)
    except BaseException:  # the traceback says what was expected and what was seen
        s.shot and s.save(os.path.join(failures_dir, name + ".pgm"))
        print("%sThe last picture judged: %s" % (s.close(), os.path.join(failures_dir, name + ".pgm")))
        raise
    s.close()
    print("e2e %s passed in %.1f s" % (name, time.monotonic() - began))


if __name__ == "__main__":
    main()
