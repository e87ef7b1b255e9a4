# The real game in its own X session (Xvfb, a window manager, keys through XTEST, the
# window's pixels read back), checked against what a player sees.
# Usage: run.py SCENARIO GAME, where GAME is a command line ("wine64 Q.exe" too).
import base64, ctypes, io, json, math, os, pwd, re, shlex, socket, subprocess, sys, tempfile, time, urllib.request  # noqa: E401
from Xlib import X, display


def expect(ok, expected, saw):
    if not ok:
        raise AssertionError("expected %s; saw %s" % (expected, saw))


def lit_pixels(data, width, size):  # where in an image of pixels of size bytes a colour byte is not 0
    offsets = (m.start() for m in re.finditer(rb"[^\0]", data))  # only the lit few are looked at
    return {(i % width, i // width) for i in (at // size for at in offsets if at % size < 3)}


def poll(check, deadline=3.0):  # check()'s first true result within the deadline, else its last
    end = time.monotonic() + deadline
    while not (got := check()) and time.monotonic() < end:
        time.sleep(0.01)
    return got


def ship_seen(lit, width, height):  # the heading (degrees) and centre of the one whole ship lit, else None
    xs, ys = zip(*lit or [(0, 0)])
    if not (130 <= len(lit) <= 165 and max(xs) - min(xs) <= 40 and max(ys) - min(ys) <= 40):
        return None  # a ship lights 134 to 159 pixels within 41 either way, whatever its heading
    if min(xs) < 1 or min(ys) < 1 or max(xs) > width - 2 or max(ys) > height - 2:
        return None  # perhaps cut by the edge of what is seen
    gx, gy = sum(xs) / len(lit), sum(ys) / len(lit)
    nose = max(lit, key=lambda p: math.dist(p, (gx, gy)))  # the farthest from the centroid, within 4 degrees
    return math.degrees(math.atan2(nose[0] - gx, nose[1] - gy)) % 360, ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)


class XSession:
    # Xvfb on a display it picks itself and a window manager (wm=None: none); close() ends,
    # each by its PID, every program started with spawn().
    def __init__(self, wm=("openbox", "--sm-disable"), size=(1024, 768)):
        self.procs, self.tmp = [], tempfile.TemporaryDirectory(prefix="quillfane-x")
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

    def spawn(self, argv, stdout=None, log=None, **env):  # prctl: it ends with this script, should a test runner kill that
        self.procs.append(subprocess.Popen(argv, env=dict(self.env, **env), stdin=subprocess.DEVNULL, stdout=stdout or log or self.log,
                                           stderr=log or self.log, preexec_fn=lambda: ctypes.CDLL(None).prctl(1, 15)))
        return self.procs[-1]

    def close(self):  # returns what the programs printed
        getattr(self, "d", None) and self.xvfb.poll() is None and self.d.close()
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

    def capture(self, window):  # the window's width, height and lit (not black) pixels, as the screen shows them
        x, y, w, h = self.rect(window)[:4]
        return w, h, lit_pixels(self.root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data, w, 4)  # B, G, R, unused

    def xdo(self, script, *more):  # xdotool's commands, such as "keydown Up sleep 0.2 keyup Up"; returns its output
        run = subprocess.run(["xdotool", *script.split(), *more], env=self.env, stdout=subprocess.PIPE, stderr=self.log)
        return run.stdout


class WaylandSession(XSession):
    # sway headless in a private XDG_RUNTIME_DIR (as nobody when this runs as root, which sway refuses), floating
    # windows without borders; keys from wtype, pictures from grim. One virtual keyboard stays the whole session:
    # SDL 2.26 drops the first key after a keyboard comes, and can crash as keyboards come and go.
    def __init__(self):
        self.procs, self.tmp, nobody = [], tempfile.TemporaryDirectory(prefix="quillfane-w"), pwd.getpwnam("nobody")
        run, self.log = self.tmp.name, open(os.path.join(self.tmp.name, "log"), "w+b")
        open(run + "/config", "w").write("xwayland disable\ndefault_border none\ndefault_floating_border none\n"
                                         "for_window [title=Quillfane] floating enable\n")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=run, HOME=run, SWAYSOCK=run + "/ipc", DISPLAY="", WAYLAND_DISPLAY="",
                        SDL_VIDEODRIVER="", WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        user = os.getuid() == 0 and os.chown(run, nobody.pw_uid, nobody.pw_gid) is None
        self.xvfb = self.spawn(["setpriv", "--reuid=nobody", "--regid=%d" % nobody.pw_gid, "--clear-groups",
                                "--pdeathsig=TERM"] * user + ["sway", "-c", run + "/config"])
        expect(poll(lambda: os.path.exists(run + "/ipc") and os.path.exists(run + "/wayland-1"), 10), "sway", "none")
        self.env["WAYLAND_DISPLAY"] = "wayland-1"
        self.spawn(["wtype", "-s", "86400000"])

    def node(self, key, value, n=None):  # the first in the window tree with that key and value
        n = n or json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=self.env, capture_output=True).stdout)
        children = (self.node(key, value, c) for c in n["nodes"] + n["floating_nodes"])
        return n.get(key) == value and n or next(filter(None, children), None)

    def find(self, title, deadline=5):
        return poll(lambda: (node := self.node("name", title)) and node["id"], deadline)

    def rect(self, window):  # the client area is all there is: no borders, and Wayland keeps decorations from SDL
        r = self.node("id", window)["rect"]
        return r["x"], r["y"], r["width"], r["height"], r["width"], r["height"], 0

    def capture(self, window):
        x, y, w, h = self.rect(window)[:4]
        px = subprocess.run(["grim", "-g", "%d,%d %dx%d" % (x, y, w, h), "-t", "ppm", "-"], env=self.env,
                            capture_output=True).stdout.split(b"\n", 3)[3]
        return w, h, lit_pixels(px, w, 3)

    def xdo(self, script):  # xdotool's key commands, through wtype
        words, flags = script.split(), {"keydown": "-P", "keyup": "-p", "key": "-k", "sleep": "-s"}
        argv = [a for c, k in zip(words[::2], words[1::2]) for a in (flags[c], str(int(float(k) * 1000)) if c == "sleep" else k)]
        subprocess.run(["wtype", *argv], env=self.env, stderr=self.log)


class Page:
    # A browser on the pages a local server serves from root, read from the browser's own screenshots.
    # To Game it is a session whose one window is the canvas, frameless; the page is its process.
    sees_focus = True  # whether the page can tell that its window has the focus

    def __init__(self, root):
        self.procs, self.errors, self.env = [], [], dict(os.environ)  # errors: the page's uncaught exceptions
        # A browser's helper processes may still write its profile as it goes.
        self.tmp = tempfile.TemporaryDirectory(prefix="quillfane-web", ignore_cleanup_errors=True)
        self.log = open(os.path.join(self.tmp.name, "log"), "w+b")
        server = XSession.spawn(self, [sys.executable, "-um", "http.server", "-b", "127.0.0.1", "-d", root, "0"],
                                subprocess.PIPE)
        self.url = "http://127.0.0.1:%d/" % int(server.stdout.readline().split()[5])
        self.browser = self.start()

    def close(self):
        self.d.close()
        self.d = None
        return XSession.close(self)

    def spawn(self, argv):  # opens the page
        self.navigate(self.url + argv[0])
        return self

    # The page as a process: status 0 once it says the game has ended.
    returncode = property(lambda self: 0 if self.js("document.body.dataset.state") == "ended" else None)
    poll = lambda self: self.returncode  # noqa: E731

    def find(self, title, deadline=5):
        return poll(lambda: self.js("document.title") == title and "canvas", deadline)

    def rect(self, window):
        return (0, 0, *self.js("[canvas.width, canvas.height]") * 2, 0)

    def capture(self, window):  # the canvas's width, height and lit (not black) pixels, as the browser shows them
        import PIL.Image  # Debian's python3-pil
        box = self.js("(r => [r.x + scrollX, r.y + scrollY, canvas.width, canvas.height])(canvas.getBoundingClientRect())")
        image = PIL.Image.open(io.BytesIO(self.screenshot(*box))).convert("RGB")
        expect(image.size == tuple(box[2:]), "a screenshot of the canvas's %dx%d pixels" % tuple(box[2:]), image.size)
        self.picture, w = image, box[2]
        return w, box[3], lit_pixels(image.tobytes(), w, 3)

    def xdo(self, script, *more):  # xdotool's keydown, keyup, key and sleep for the arrows, space and Escape
        for verb, arg in zip(script.split()[::2], script.split()[1::2]):
            for down in {"keydown": [True], "keyup": [False], "key": [True, False]}.get(verb, []):
                self.key(arg, down)
            time.sleep(float(arg) if verb == "sleep" else 0)


class Chromium(Page):
    # Headless Chromium over the DevTools Protocol.
    def start(self):
        ports = os.path.join(self.tmp.name, "DevToolsActivePort")
        browser = XSession.spawn(self, ["chromium", "--user-data-dir=" + self.tmp.name, *"--headless --no-sandbox "
                                        "--disable-gpu --disable-quic --no-first-run --disable-background-networking "
                                        "--disable-component-update --disable-sync --window-size=1024,768 "
                                        "--remote-debugging-port=0".split()])
        expect(poll(lambda: os.path.exists(ports) and open(ports).read(), 10), "Chromium's DevTools port", "none")
        page = next(t for t in json.load(urllib.request.urlopen("http://127.0.0.1:%s/json/list" % open(ports).read().split()[0]))
                    if t["type"] == "page")
        import websocket  # Debian's python3-websocket
        self.page, self.d, self.id = page["id"], websocket.create_connection(page["webSocketDebuggerUrl"], suppress_origin=True), 0
        self.send("Runtime.enable"), self.focus(True)
        return browser

    def send(self, method, **params):  # its result; of the events that come first, only exceptions are kept
        self.id += 1
        self.d.send(json.dumps({"id": self.id, "method": method, "params": params}))
        answer = next(a for a in iter(lambda: json.loads(self.d.recv()), None)
                      if a.get("id") == self.id or a.get("method") == "Runtime.exceptionThrown" and self.errors.append(a))
        expect("error" not in answer, method + " to succeed", answer.get("error"))
        return answer["result"]

    def js(self, expression):  # its value
        return self.send("Runtime.evaluate", expression=expression, returnByValue=True)["result"].get("value")

    navigate = lambda self, url: self.send("Page.navigate", url=url)  # noqa: E731

    def preload(self, source):  # run in every page opened from now on, before the page's own scripts
        self.send("Page.enable"), self.send("Page.addScriptToEvaluateOnNewDocument", source=source)
    focus = lambda self, on: self.send("Emulation.setFocusEmulationEnabled", enabled=on)  # noqa: E731  as a window in front

    def screenshot(self, x, y, w, h):  # PNG, composited as the screen shows it, a pixel to the CSS pixel
        clip = dict(x=x, y=y, width=w, height=h, scale=1 / self.js("devicePixelRatio"))
        return base64.b64decode(self.send("Page.captureScreenshot", format="png", clip=clip)["data"])

    def key(self, name, down):
        code, vk = {"space": ("Space", 32), "Escape": ("Escape", 27)}.get(name) or \
            ("Arrow" + name, 37 + "Left Up Right Down".split().index(name))
        self.send("Input.dispatchKeyEvent", type="rawKeyDown" if down else "keyUp", code=code,
                  key=" " if vk == 32 else code, windowsVirtualKeyCode=vk)

    def phone(self, width, height):  # a phone's screen, 3 device pixels to the CSS pixel, touched rather than clicked
        self.send("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=3, mobile=True,
                  screenOrientation={"type": "portraitPrimary" if height > width else "landscapePrimary",
                                     "angle": 0 if height > width else 90})
        self.send("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)

    def touch(self, *points):  # the fingers now down, as (x, y) in CSS pixels, each by its place in the list
        down = getattr(self, "fingers", [])
        kind = "touchStart" if len(points) > len(down) else "touchEnd" if len(points) < len(down) else "touchMove"
        self.fingers = points
        self.send("Input.dispatchTouchEvent", type=kind,
                  touchPoints=[{"x": x, "y": y, "id": n} for n, (x, y) in enumerate(points)])

    def hide_tab(self):  # another tab in front; the focus goes, as a tab hides only so
        self.focus(False)
        return self.send("Target.createTarget", url="about:blank")["targetId"]

    def show_tab(self, other):
        self.send("Target.activateTarget", targetId=self.page), self.send("Target.closeTarget", targetId=other)
        self.focus(True)


class Firefox(Page):
    # Headless firefox-esr over WebDriver BiDi. Its headless windows never have the focus (document.hasFocus() is
    # false throughout), so the page there never sees its window come back to the front, nor reads a controller.
    sees_focus = False

    def start(self):
        profile = os.path.join(self.tmp.name, "profile")
        os.mkdir(profile)
        browser = XSession.spawn(self, ["firefox-esr", "--headless", "--no-remote", "--profile", profile,
                                        "--remote-debugging-port", "0", "about:blank"])
        said = lambda: re.search(rb"WebDriver BiDi listening on (ws://\S+)", open(self.log.name, "rb").read())  # noqa: E731
        expect(poll(said, 20), "Firefox's WebDriver BiDi socket", "none")
        import websocket  # Debian's python3-websocket
        self.d, self.id = websocket.create_connection(said()[1].decode() + "/session", suppress_origin=True), 0
        self.send("session.new", capabilities={}), self.send("session.subscribe", events=["log.entryAdded"])
        self.context = self.send("browsingContext.getTree")["contexts"][0]["context"]
        self.send("browsingContext.setViewport", context=self.context, viewport={"width": 1024, "height": 768})
        return browser

    def send(self, method, **params):  # its result; of the events that come first, only uncaught exceptions are kept
        self.id += 1
        self.d.send(json.dumps({"id": self.id, "method": method, "params": params}))
        for answer in iter(lambda: json.loads(self.d.recv()), None):
            entry = answer.get("params", {})
            if answer.get("method") == "log.entryAdded" and entry.get("type") == "javascript" and entry.get("level") == "error":
                self.errors.append(entry.get("text"))
            if answer.get("id") == self.id:
                expect(answer.get("type") == "success", method + " to succeed", answer)
                return answer["result"]

    def js(self, expression):  # its value
        result = self.send("script.evaluate", expression="JSON.stringify((%s))" % expression, awaitPromise=False,
                           target={"context": self.context})
        expect(result["type"] == "success", expression + " to run", result)
        value = result["result"].get("value")
        return None if value is None else json.loads(value)

    navigate = lambda self, url: self.send("browsingContext.navigate", context=self.context, url=url)  # noqa: E731
    preload = lambda self, source: self.send("script.addPreloadScript", functionDeclaration="() => {%s}" % source)  # noqa: E731

    def screenshot(self, x, y, w, h):
        clip = {"type": "box", "x": x, "y": y, "width": w, "height": h}
        return base64.b64decode(self.send("browsingContext.captureScreenshot", context=self.context, origin="document",
                                          clip=clip)["data"])

    def key(self, name, down):
        value = {"space": " ", "Escape": "\ue00c", "Left": "\ue012", "Up": "\ue013", "Right": "\ue014", "Down": "\ue015"}[name]
        action = {"type": "keyDown" if down else "keyUp", "value": value}
        self.send("input.performActions", context=self.context, actions=[{"type": "key", "id": "keys", "actions": [action]}])

    def hide_tab(self):
        return self.send("browsingContext.create", type="tab")["context"]

    def show_tab(self, other):
        self.send("browsingContext.activate", context=self.context), self.send("browsingContext.close", context=other)


class Game:  # started, and showing its start picture
    def __init__(self, s, argv, frame=None, deadline=5):  # frame: the outer size less the client's, if not the WM's
        self.s, self.proc, self.hidden, self.frame = s, s.spawn(argv), 0, frame
        self.window = s.find("Quillfane", deadline)
        expect(self.window, "a window titled Quillfane within %d s" % deadline, "none")
        self.shows_start("at start")

    def lit(self):  # left of the columns hidden at the right
        width, self.height, seen = self.s.capture(self.window)
        self.width, self.when = width - self.hidden, time.monotonic()
        self.seen = {(x, y) for x, y in seen if x < self.width}
        return self.seen

    def ship(self):
        return ship_seen(self.lit(), self.width, self.height)

    def shows_start(self, why):  # the ship alone, nose up, centred on the outer size laid from the client's corner
        def check():
            _, _, w, h, outer_w, outer_h, _ = self.s.rect(self.window)
            outer = (w + self.frame[0], h + self.frame[1]) if self.frame else (outer_w, outer_h)
            self.want, self.got = (180, (outer[0] // 2, outer[1] // 2)), self.ship()
            return self.got and abs(self.got[0] - 180) < 4 and math.dist(self.got[1], self.want[1]) <= 0.5
        expect(poll(check), why + ": the ship alone, at heading and centre %s" % (self.want,), self.got or "no ship")

    def alone(self, why, deadline=3.0):  # one whole ship on screen and nothing else: its heading, centre and time
        got = poll(lambda: (f := self.ship()) and (*f, self.when), deadline)
        expect(got, why + ": one whole ship and nothing else", "%d pixels lit" % len(self.seen))
        return got

    def turn(self, key, sense):  # held, turns the ship that way (sense 1: counter-clockwise)
        before = self.alone("before " + key)[0]
        self.s.xdo("keydown %s sleep 0.15 keyup %s" % (key, key))
        turned = (self.alone(key + " released")[0] - before + 180) % 360 - 180
        expect(turned * sense > 0, "%s to turn the ship %sclockwise" % (key, "counter-" * (sense > 0)), "%d°" % turned)

    def beyond(self, centre, radius=25):  # what is lit farther from the ship's centre: bullets, the shield
        return [p for p in self.lit() if math.dist(p, centre) > radius]

    def fires_pair(self, centre, why):  # two to eight pixels off the ship within 1 s, apart. Called with the key
        # still down, the key let go after: a pair crosses a small playfield in a fifth of a second.
        pair = lambda: 2 <= len(p := self.beyond(centre)) <= 8 and max(math.dist(a, b) for a in p for b in p) > 9  # noqa: E731
        expect(poll(pair, 1), why, self.beyond(centre))

    def ends(self, how):
        poll(lambda: self.proc.poll() is not None)
        expect(self.proc.returncode == 0, how + " to end the game with status 0", "status %s" % self.proc.returncode)


def flight(s, argv):  # turns, shield, fire, thrust across an edge, another window active a while, Esc
    game = Game(s, argv, *((8, 27), 30) if argv[0] == "wine" else ())  # Wine's own frame, its slow start
    game.turn("Left", 1)
    centre = game.alone("turned")[1]
    s.xdo("keydown Down sleep 0.2 keyup Down keydown space")
    game.fires_pair(centre, "Space to fire a pair of bullets"), s.xdo("keyup space")
    game.turn("Right", -1)  # so as not to fly along the bullets' path, which the shield's erasing wipes
    s.xdo("keydown Up space sleep 0.3 keyup Up space")
    _, a, t0 = game.alone("the bullets gone")
    time.sleep(0.3)
    _, b, t1 = game.alone("drifting")
    # Long enough to cross the whole playfield one way, so past an edge at least once.
    crossing = (t1 - t0) * min(n / max(abs(j - i), .1) for n, i, j in zip(s.rect(game.window)[4:6], a, b))
    expect(crossing < 8, "the ship to cross the playfield within 8 s", "%.1f s to cross it" % crossing)
    x, y, w, h = s.rect(game.window)[:4]
    s.spawn(["xmessage", "-geometry", "120x80+%d+%d" % (x + w - 130, y + 30), "another window"])
    s.xdo("windowactivate --sync %d" % s.find("xmessage").id)
    game.hidden = 150  # the other window and its frame
    time.sleep(crossing)
    game.alone("the ship past an edge, another window active", 5)
    game.hidden = 0
    s.xdo("windowactivate --sync %d" % game.window.id)
    game.turn("Left", 1)  # repainted, and the keys reach the game again
    s.xdo("key Escape")
    game.ends("Esc")


def window(s, argv):  # its size, the close button, resizes, minimised and restored, SIGTERM
    game = Game(s, argv)
    x, y, w, h, _, _, top = s.rect(game.window)  # openbox's default theme: the title bar's right end
    expect((w, h) == (474, 401), "a 474x401 client area", (w, h))
    s.xdo("mousemove %d %d click 1" % (x + w - 10, y - top // 2))
    game.ends("a click on the close button")
    game = Game(s, argv)
    for size in ((640, 480), (100, 90)):
        s.xdo("windowsize %d %d %d" % (game.window.id, *size))
        expect(poll(lambda: s.rect(game.window)[2:4] == size), "a resize to %dx%d" % size, s.rect(game.window)[2:4])
        game.shows_start("resized")
    s.xdo("windowminimize --sync %d windowactivate --sync %d" % (game.window.id, game.window.id))
    game.shows_start("minimised and restored")
    game.proc.terminate()
    game.ends("SIGTERM")


def unshown(s, argv):  # a window manager that never maps a window: the game still ends or says why
    game = s.spawn(argv)
    time.sleep(1)
    game.terminate()
    expect(poll(lambda: game.poll() == 1, 1), "SIGTERM to end a game not yet shown within 1 s, status 1", game.poll())
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


def hostile(s, argv):  # no window manager: displays that never answer, standard streams closed, the window destroyed
    n, began, listening = 700 + os.getpid() % 9000, time.monotonic(), []  # X's socket in the abstract namespace
    for variable, name, path in (("DISPLAY", ":%d" % n, "\0/tmp/.X11-unix/X%d" % n), ("WAYLAND_DISPLAY", s.tmp.name + "/w", "")):
        listening.append((socket.socket(socket.AF_UNIX), path or name, variable + "=" + name))
        listening[-1][0].bind(listening[-1][1]), listening[-1][0].listen()
        log = open(os.path.join(s.tmp.name, "log-" + variable), "w+")  # its own: lines written at once would mix in one
        listening[-1] += (s.spawn(argv, log=log, **{"DISPLAY": "", "WAYLAND_DISPLAY": "", variable: name}), log)
    for _, _, named, proc, log in listening:
        poll(lambda: proc.poll() is not None, 8)
        said = open(log.name).read()
        expect(proc.poll() == 1 and said.count("did not start within 5 seconds on the display %s;" % named) == 1 and
               time.monotonic() - began < 7, "%s silent: status 1, one line within 7 s" % named,
               "status %s after %.1f s, said %r" % (proc.poll(), time.monotonic() - began, said))
    game = Game(s, ["sh", "-c", 'exec "$@" >&- 2>&-', "sh", *argv])  # SDL's connections would take 1 and 2
    s.xdo("windowsize {0} 9000 9000 sleep 0.3 windowsize {0} 474 401 windowfocus --sync {0} key Escape".format(game.window.id))
    game.ends("Esc, after a message with the standard streams closed,")
    game = Game(s, argv)
    game.window.destroy(), s.d.sync(), poll(lambda: game.proc.poll() is not None)
    said = [line for line in open(s.log.name).read().splitlines() if "destroyed" in line or "Error" in line]
    expect(game.proc.poll() == 1 and said == ["quillfane: the window was destroyed by another program; the game has ended"],
           "the window destroyed: one line of ours, status 1", "status %s: %s" % (game.proc.poll(), said))


def wayland(s, argv):  # on sway: the start picture, resized and re-centred, Left, Space, Esc; with no EGL, one line
    game = Game(s, argv)
    subprocess.run(["swaymsg", "[con_id=%d] resize set 640 480" % game.window], env=s.env, stdout=s.log)
    expect(poll(lambda: s.rect(game.window)[2:4] == (640, 480)), "a resize to 640x480", s.rect(game.window)[2:4])
    game.shows_start("resized")
    game.turn("Left", 1)
    centre, _ = game.alone("turned")[1], s.xdo("keydown space")
    game.fires_pair(centre, "Space to fire a pair"), s.xdo("keyup space")
    s.xdo("key Escape"), game.ends("Esc")
    began, game = time.monotonic(), s.spawn(argv, __EGL_VENDOR_LIBRARY_FILENAMES="/dev/null")
    said = poll(lambda: game.poll() is not None, 6) and [ln for ln in open(s.log.name).read().splitlines() if "quillfane" in ln]
    expect(game.poll() == 1 and len(said) == 1 and time.monotonic() - began < 6, "with no EGL, status 1 and one line",
           "status %s, %s after %.1f s" % (game.poll(), said, time.monotonic() - began))


def hidpi(s, argv):  # Xft.dpi 192, no window manager: a 948x802 client area, the 474x401 start picture doubled
    subprocess.run(["xrdb", "-merge", "-"], input=b"Xft.dpi: 192\n", env=s.env, check=True)
    game = Game(s, ["env", "QUILLFANE_SCALE=1", *argv])
    doubled = {(2 * x + i, 2 * y + j) for x, y in game.lit() for i in (0, 1) for j in (0, 1)}
    game.proc.terminate(), game.ends("SIGTERM")
    game.proc, window = s.spawn(argv), s.find("Quillfane")
    expect(poll(lambda: s.rect(window)[2:4] == (948, 802) and s.capture(window)[2] == doubled),
           "a 948x802 client area showing the start picture doubled", s.rect(window)[2:4])
    game.proc.terminate(), game.ends("SIGTERM")


NO_MAP_WM = """from Xlib import X, Xatom, display
d = display.Display()
d.screen().root.change_attributes(event_mask=X.SubstructureRedirectMask)
d.screen().root.change_property(d.intern_atom("_NET_WORKAREA"), Xatom.CARDINAL, 32, [0, 0, 1, 1])
while True: d.next_event()"""


# Another script takes the canvas's 2D context, with the default alpha, before the page's own can.
TAKES_CANVAS = """new MutationObserver((_, watch) => {
  const canvas = document.getElementById('canvas');
  if (canvas) canvas.getContext('2d'), watch.disconnect();
}).observe(document, {childList: true, subtree: true});"""


def web(s, argv):  # the page: turns, shield, fire, a hidden tab, Esc, a new game, a controller, a canvas taken first
    game = Game(s, argv)
    shown = s.js("[...document.querySelectorAll('.pad [aria-label]')].filter(%s).map(e => e.ariaLabel)" % SHOWN)
    expect(not shown, "no touch controls on a desktop with a mouse", shown)
    white = sum(1 for p in s.picture.getdata() if p == (255, 255, 255))
    print("%s: the start ship shows %d white pixels of %d lit" % (type(s).__name__, white, len(game.seen)))
    s.js("fill.click()"), game.shows_start("the canvas grown to fill the page")  # a resize
    game.turn("Left", 1), game.turn("Right", -1)
    centre, _ = game.alone("turned")[1], s.xdo("keydown Down")
    expect(poll(lambda: len(game.beyond(centre, 24)) > 100), "Down to show the shield", "%d pixels lit" % len(game.seen))
    s.xdo("keydown space sleep 0.1 keyup space")
    expect(not poll(lambda: game.beyond(centre, 33), 0.5), "no bullets with the shield up", game.beyond(centre, 33))
    s.xdo("keyup Down"), game.alone("the shield down"), s.xdo("keydown space")
    game.fires_pair(centre, "Space to fire one pair of bullets, apart"), s.xdo("keyup space")
    game.alone("the pair flown off the playfield, erased")
    s.xdo("keydown Left sleep 0.1")  # held, never released here
    other = s.hide_tab()
    expect(poll(lambda: s.js("document.hidden")), "the tab hidden", "it shown")
    if s.sees_focus:  # for the repaint to wipe
        s.js("(g => (g.fillStyle = '#fff', g.fillRect(400, 5, 30, 30)))(canvas.getContext('2d'))")
    s.show_tab(other)
    heading, _ = game.alone("the tab shown again" + ", repainted" * s.sees_focus)[0], time.sleep(0.3)
    expect(game.alone("a while later")[0] == heading, "Left released when the tab was hidden", "the ship turning")
    s.xdo("keyup Left key Escape"), game.ends("Esc")
    expect(poll(lambda: len(game.lit()) > 300 and not game.ship()), "Esc: the playfield to say the game has ended",
           "%d pixels lit" % len(game.seen))
    s.xdo("key space"), game.shows_start("a new game after a key")
    s.sees_focus and controller(s, game)
    s.preload(TAKES_CANVAS)
    game = Game(s, argv)
    expect(s.js("canvas.getContext('2d').getContextAttributes().alpha"), "a canvas taken first, with alpha", "none taken")
    game.turn("Left", 1)
    expect(not s.errors, "no uncaught exception on the page", s.errors)


CONTROLS = ("Turn left", "Turn right", "Thrust", "Shield", "Fire")
SHOWN = "(e => e.getClientRects().length > 0 && getComputedStyle(e).visibility != 'hidden')"


def misfits(s):  # what keeps the page from fitting the screen, with the controls clear of the ship's starting place
    screen = s.js("[innerWidth, innerHeight, visualViewport.scale, document.documentElement.scrollWidth, "
                  "document.documentElement.scrollHeight, screen.width]")
    if screen[:2] != screen[3:5] or screen[2] != 1 or screen[0] != screen[5]:
        return "[width, height, scale, scroll width and height, screen width] %s" % screen
    boxes = {name: box for name, *box in s.js(
        "[...document.querySelectorAll('[aria-label]')].filter(e => %s(e)).map(e => (r => "
        "[e.getAttribute('aria-label'), r.left, r.top, r.right, r.bottom])(e.getBoundingClientRect()))" % SHOWN)}
    if not set(CONTROLS) <= set(boxes):
        return "only %s shown" % sorted(boxes)
    off = [n for n, (left, top, right, bottom) in boxes.items() if left < 0 or top < 0 or right > screen[0] or bottom > screen[1]]
    left, top, right, bottom = boxes[s.js("canvas.getAttribute('aria-label')")]
    x, y = (left + right) / 2, (top + bottom) / 2
    over = [n for n in CONTROLS if boxes[n][0] - 21 < x < boxes[n][2] + 21 and boxes[n][1] - 21 < y < boxes[n][3] + 21]
    return off and "off the screen: %s" % off or over and "over the ship's starting place: %s" % over


def fits(s, game, why, off_centre=0.5):  # the page fits the screen, the controls clear of the ship, the ship centred
    # (a turned ship's box is not symmetric about its centre: off_centre says how far its middle may be)
    expect(poll(lambda: not misfits(s)), why + ": the whole page on the screen at the device "
           "width, unzoomed, with nothing to scroll, the controls shown and clear of the ship", misfits(s))
    centred = lambda: (f := game.ship()) and math.dist(f[1], (game.width // 2, game.height // 2)) <= off_centre  # noqa: E731
    expect(poll(centred), why + ": the ship alone, centred", game.ship())


def at(s, name):  # the middle of a control, in CSS pixels
    return tuple(s.js("(r => [r.x + r.width / 2, r.y + r.height / 2])(document.querySelector('[aria-label=\"%s\"]')"
                      ".getBoundingClientRect())" % name))


def phone(s, argv):  # a phone in portrait and landscape, touched: the page fits, fingers play, it installs and plays offline
    s.phone(390, 844)
    game = Game(s, argv)
    fits(s, game, "in portrait")
    centre = game.alone("before firing")[1]
    s.touch(at(s, "Fire"))
    game.fires_pair(centre, "a finger on Fire to fire one pair of bullets")
    time.sleep(0.4)
    expect(not (more := game.beyond(centre)), "no more while the finger stays", more)
    s.touch(), s.touch(at(s, "Fire")), time.sleep(0.05), s.touch()  # as short as a tap of a finger
    game.fires_pair(centre, "a short touch on Fire to fire one pair")
    game.alone("the pair flown off")
    heading = game.alone("before the slide")[0]
    s.touch(at(s, "Turn left")), time.sleep(0.1), s.touch((195, 300)), time.sleep(0.05), s.touch()
    turned = game.alone("Turn left slid off and lifted")[0]
    time.sleep(0.3)
    expect(turned != heading and game.alone("a while later")[0] == turned,
           "a finger slid off Turn left and lifted elsewhere to let go", "%s, then %s" % (turned, game.ship()[0]))
    s.phone(844, 390)
    fits(s, game, "turned to landscape", 5)
    heading, centre, _ = game.alone("before two fingers")
    s.touch(at(s, "Thrust")), s.touch(at(s, "Thrust"), at(s, "Turn left")), time.sleep(0.15), s.touch(at(s, "Thrust")), s.touch()
    turned, moved, _ = game.alone("after Thrust and Turn left together", 1)
    expect(0 < (turned - heading) % 360 < 180 and math.dist(moved, centre) > 2, "the ship to turn left and move",
           "turned %d°, moved %.1f pixels" % ((turned - heading) % 360, math.dist(moved, centre)))
    manifest = s.send("Page.getAppManifest")
    expect(not manifest["errors"] and json.loads(manifest["data"])["name"] == "Quillfane", "the manifest to read", manifest)
    worker = "navigator.serviceWorker.ready.then(r => r.active && r.active.state)"
    expect(s.send("Runtime.evaluate", expression=worker, awaitPromise=True, returnByValue=True)["result"].get("value")
           == "activated", "the service worker active", "none")
    server = s.procs[0]
    server.terminate(), server.wait()
    game = Game(s, argv)  # opened again, with no server
    fits(s, game, "offline")
    expect(not s.errors, "no uncaught exception on the page", s.errors)


def controller(s, game):  # read only while the page has the focus
    # A controller, the page's second, its stick resting just inside the dead zone: pushed left and let go (not quite
    # to the middle), A held, Back.
    s.js("window.pad = {connected: true, mapping: 'standard', axes: [0.2, -0.2, 0, 0], buttons: [...Array(17)]"
         ".map(() => ({pressed: false, value: 0}))}, navigator.getGamepads = () => [null, pad], "
         "dispatchEvent(new Event('gamepadconnected'))")
    heading, *_ = game.alone("the stick at rest")[0], s.js("pad.axes[0] = -1"), time.sleep(0.15), s.js("pad.axes[0] = 0.25")
    turned, centre, _ = game.alone("the stick let go")
    expect(0 < (turned - heading) % 360 < 180, "the stick pushed left to turn the ship", turned - heading)
    s.js("pad.buttons[0].pressed = true"), game.fires_pair(centre, "A held to fire one pair"), time.sleep(0.1)
    expect(len(more := game.beyond(centre)) <= 8, "A held to fire no more", more)
    s.js("pad.buttons[8].pressed = true"), game.ends("Back")


def main():
    scenarios = {f.__name__: f for f in (flight, window, unshown, failures, hostile, wayland, hidpi)}
    scenarios.update(chromium=web, firefox=web, phone=phone)
    if len(sys.argv) != 3 or sys.argv[1] not in scenarios:
        print("usage: run.py SCENARIO GAME\n  SCENARIO: one of %s\n  GAME: the game's command line as one argument, "
              "such as build-test/quillfane or \"wine /path/Quillfane.exe\"" % ", ".join(scenarios), file=sys.stderr)
        sys.exit(2)
    (name, argv), began = sys.argv[1:], time.monotonic()
    wm = {"unshown": (sys.executable, "-c", NO_MAP_WM), "failures": None, "hostile": None, "hidpi": None}.get(
        name, ("openbox", "--sm-disable"))
    s = Chromium(argv) if name in ("chromium", "phone") else Firefox(argv) if name == "firefox" else WaylandSession() if name == "wayland" else \
        XSession(wm, (1920, 1200) if name == "hidpi" else (1024, 768))
    try:
        scenarios[name](s, ["index.html"] if scenarios[name] in (web, phone) else shlex.split(argv))
    except BaseException:  # the traceback says what was expected and what was seen
        print(s.close())
        raise
    s.close()
    print("e2e %s passed in %.1f s" % (name, time.monotonic() - began))


if __name__ == "__main__":
    main()
