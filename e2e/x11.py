# The game in its own X session: Xvfb, a window manager (or none), keys through XTEST, the window's
# pixels read back from the X server. Also X11's own scenarios: the window manager's doings, failures.
import os
import socket
import subprocess
import time
from dataclasses import dataclass

from Xlib import X, XK, display
from Xlib.ext import xtest

from player import Capture, Game, expect, lit_pixels, poll
from programs import Programs

OPENBOX = ("openbox", "--sm-disable")


@dataclass
class Rect:  # on the screen
    x: int
    y: int
    width: int
    height: int


class XSession:
    # Xvfb on a display it picks itself and a window manager (None: none). close() ends, each by its PID,
    # every program started with spawn(), and returns what they printed.
    def __init__(self, wm=OPENBOX, size=(1024, 768)):
        self.programs = Programs("quillfane-x")
        self.folder = self.programs.folder.name
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.folder, WAYLAND_DISPLAY="", SDL_VIDEODRIVER="")
        screen = "%dx%dx24" % size
        self.xvfb = self.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"], subprocess.PIPE)
        self.env["DISPLAY"] = ":%d" % int(self.xvfb.stdout.readline())
        self.xlib = display.Display(self.env["DISPLAY"])
        self.root = self.xlib.screen().root
        if wm:
            self.spawn(list(wm))
            workarea = self.xlib.intern_atom("_NET_WORKAREA")  # published once it takes windows
            expect(poll(lambda: self.root.get_full_property(workarea, 0), 10), "a window manager", "none")

    def spawn(self, argv, stdout=None, log=None, **env):
        return self.programs.start(argv, dict(self.env, **env), stdout, log)

    def printed(self):
        return self.programs.said()

    def close_display(self):
        if self.xvfb.poll() is None:
            self.xlib.close()

    def close(self):
        """Ends every program started; returns their statuses and what they printed."""
        self.close_display()
        return self.programs.close()

    def xdo(self, commands, *last):
        """Runs xdotool's commands (split at spaces), then the last arguments as they are; returns its output."""
        run = subprocess.run(["xdotool", *commands.split(), *last], env=self.env, stdout=subprocess.PIPE,
                             stderr=self.programs.log)
        return run.stdout.decode()

    def find(self, title, deadline=5):
        """The window with that title; by name, as that works with any window manager or none."""
        ids = poll(lambda: self.xdo("search --name", "^%s$" % title).split(), deadline)
        return ids and self.xlib.create_resource_object("window", int(ids[0]))

    def key(self, name, event):
        keycode = self.xlib.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(self.xlib, event, keycode)
        self.xlib.sync()

    def key_down(self, name):  # held by the X server until released
        self.key(name, X.KeyPress)

    def key_up(self, name):
        self.key(name, X.KeyRelease)

    def rect(self, window):
        """The window's client area on the screen."""
        size = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        return Rect(-origin.x, -origin.y, size.width, size.height)

    def frame(self, window):
        """The window manager's frame: left, right, top, bottom."""
        extents = window.get_full_property(self.xlib.intern_atom("_NET_FRAME_EXTENTS"), 0)
        return list(extents.value) if extents else [0, 0, 0, 0]

    def outer_size(self, window):
        client = self.rect(window)
        left, right, top, bottom = self.frame(window)
        return client.width + left + right, client.height + top + bottom

    def resize(self, window, size):
        self.xdo("windowsize %d %d %d" % (window.id, *size))

    def capture(self, window):
        client = self.rect(window)
        image = self.root.get_image(client.x, client.y, client.width, client.height, X.ZPixmap, 0xFFFFFFFF)
        return Capture(client.width, client.height, lit_pixels(image.data, client.width, 4))  # B, G, R, unused


class X11:
    # The shared script's driver on an X session: the game's window found by its title.
    skips = {}
    WINE_FRAME = (8, 27)  # Wine draws its own frame, which it does not publish as the window manager's

    def __init__(self, argv, session=None):
        self.argv = argv
        self.wine = argv[0] == "wine"
        self.session = session or XSession()
        self.hidden = 0

    def start(self):
        self.proc = self.session.spawn(self.argv)
        deadline = 30 if self.wine else 5  # Wine's first start makes its prefix
        self.window = self.session.find("Quillfane", deadline)
        expect(self.window, "a window titled Quillfane within %d s" % deadline, "none")

    def key_down(self, key):
        self.session.key_down(key)

    def key_up(self, key):
        self.session.key_up(key)

    def capture(self):  # but the columns another window hides at the right
        whole = self.session.capture(self.window)
        width = whole.width - self.hidden
        return Capture(width, whole.height, {(x, y) for x, y in whole.lit if x < width})

    def outer_size(self):
        if not self.wine:
            return self.session.outer_size(self.window)
        client = self.session.rect(self.window)
        return client.width + self.WINE_FRAME[0], client.height + self.WINE_FRAME[1]

    def client_size(self):
        client = self.session.rect(self.window)
        return client.width, client.height

    def resize(self, size=(640, 480)):
        self.session.resize(self.window, size)
        expect(poll(lambda: self.client_size() == size), "a resize to %dx%d" % size, self.client_size())
        return size

    def status(self):
        return self.proc.poll()

    def ends(self, how, status=0):
        poll(lambda: self.status() is not None, 10)
        wanted = "%s to end the game with status %d" % (how, status)
        expect(self.status() == status, wanted, "status %s" % self.status())

    def close(self):
        return self.session.close()


# Its size, the close button, resizes, minimised, another window active, SIGTERM. The unit tests catch each planted
# fault this catches, with events pushed into SDL; only here does a real window manager send them.
def window(driver):
    game = Game(driver)
    session = driver.session
    driver.start()
    game.centred("at start", heading=180)
    expect(driver.client_size() == (474, 401), "a 474x401 client area", driver.client_size())
    client = session.rect(driver.window)
    title_bar = session.frame(driver.window)[2]
    session.xdo("mousemove %d %d click 1" % (client.x + client.width - 10, client.y - title_bar // 2))
    driver.ends("a click on the close button")  # openbox's default theme has it at the title bar's right end
    driver.start()
    driver.resize((100, 90))
    game.centred("resized to 100x90", heading=180)
    session.xdo("windowminimize --sync %d windowactivate --sync %d" % (driver.window.id, driver.window.id))
    game.centred("minimised and restored", heading=180)
    driver.resize((474, 401))
    game.centred("back to 474x401", heading=180)  # before the thrust, which the move to the middle would fake
    another_window_active(game)
    driver.proc.terminate()
    driver.ends("SIGTERM")


def another_window_active(game):  # the game runs on behind it, and repaints and hears keys once back in front
    driver = game.driver
    start = game.alone("before thrust").centre
    game.hold("Up", lambda: game.moved(start, 2), "Up held to move the ship")
    client = driver.session.rect(driver.window)
    driver.session.spawn(["xmessage", "-geometry", "120x80+%d+%d" % (client.x + client.width - 130, client.y + 30),
                          "another window"])
    driver.session.xdo("windowactivate --sync %d" % driver.session.find("xmessage").id)
    driver.hidden = 150  # the other window and its frame
    before = game.alone("another window active")
    expect(poll(lambda: game.moved(before.centre, 5)), "the ship to drift on while another window is active",
           game.lit_count())
    driver.hidden = 0
    driver.session.xdo("windowactivate --sync %d" % driver.window.id)
    heading = game.alone("back in front, repainted", 5).heading

    def turned():
        ship = game.ship()
        return ship and ship.heading != heading

    game.hold("Left", turned, "Left to turn the ship once back in front")


def unshown(driver):  # a window manager that never maps a window: the game still ends, or says why
    session = driver.session
    game = session.spawn(driver.argv)
    time.sleep(1)  # well into its wait for the window to show
    game.terminate()
    expect(poll(lambda: game.poll() == 1, 1), "SIGTERM to end a game not yet shown within 1 s, status 1", game.poll())
    began = time.monotonic()
    game = session.spawn(driver.argv)
    poll(lambda: game.poll() is not None, 8)
    took = time.monotonic() - began
    said = session.printed().count("window manager did not show")
    expect(game.poll() == 1 and said == 1 and 4.8 < took < 6.5, "status 1 and one line after 5 s",
           "status %s, %d lines after %.1f s" % (game.poll(), said, took))


def failures(driver):  # no window manager: a window too large to show, then the X server gone
    game = Game(driver)
    driver.start()
    driver.resize((9000, 9000))
    expect(poll(lambda: "more than" in driver.session.printed()), "a window of 9000x9000 said to be too large",
           driver.session.printed())
    driver.resize((9500, 9000))
    driver.resize((474, 401))
    game.centred("back to its size after 9000x9000", heading=180)
    driver.session.xvfb.kill()
    poll(lambda: driver.status() is not None, 10)
    lines = [line for line in driver.session.printed().splitlines() if "quillfane" in line]
    told = len(lines) == 2 and "more than" in lines[0] and driver.session.env["DISPLAY"] in lines[1]
    expect(driver.status() == 1 and told, "one line on the size, one naming the lost display, status 1",
           "status %s: %s" % (driver.status(), lines))


@dataclass
class Silent:  # a display that accepts and never answers, and the game started on it
    variable: str
    name: str
    listener: socket.socket
    game: subprocess.Popen
    log: str


def silent_display(session, argv, variable, name, address):
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(address)
    listener.listen()
    log = os.path.join(session.folder, "log-" + variable)  # its own: lines written at once would mix in one
    environment = {"DISPLAY": "", "WAYLAND_DISPLAY": "", variable: name}
    game = session.spawn(argv, log=open(log, "w"), **environment)
    return Silent(variable, name, listener, game, log)


# No window manager: displays that never answer, standard streams closed, the window destroyed. Its planted faults are
# caught elsewhere too; only here are the sockets real and the window destroyed by another X client.
def hostile(driver):
    session = driver.session
    began = time.monotonic()
    number = 700 + os.getpid() % 9000
    x_display = silent_display(session, driver.argv, "DISPLAY", ":%d" % number, "\0/tmp/.X11-unix/X%d" % number)
    wayland_socket = session.folder + "/w"
    wayland_display = silent_display(session, driver.argv, "WAYLAND_DISPLAY", wayland_socket, wayland_socket)
    for silent in (x_display, wayland_display):
        poll(lambda: silent.game.poll() is not None, 8)
        said = open(silent.log).read()
        took = time.monotonic() - began
        named = "did not start within 5 seconds on the display %s=%s;" % (silent.variable, silent.name)
        expect(silent.game.poll() == 1 and said.count(named) == 1 and took < 7,
               "%s=%s silent: status 1, one line within 7 s" % (silent.variable, silent.name),
               "status %s after %.1f s, said %r" % (silent.game.poll(), took, said))
    closed = X11(["sh", "-c", 'exec "$@" >&- 2>&-', "sh", *driver.argv], session)  # SDL's connections would take 1, 2
    closed.start()
    Game(closed).centred("at start with the standard streams closed", heading=180)
    closed.resize((9000, 9000))  # a message it cannot write
    closed.resize((474, 401))
    Game(closed).centred("back to 474x401", heading=180)
    session.xdo("windowfocus --sync %d" % closed.window.id)
    closed.key_down("Escape")
    closed.ends("Esc, after a message with the standard streams closed,")
    closed.key_up("Escape")
    driver.start()
    driver.window.destroy()
    session.xlib.sync()
    poll(lambda: driver.status() is not None, 10)
    said = [line for line in session.printed().splitlines() if "destroyed" in line or "Error" in line]
    ours = ["quillfane: the window was destroyed by another program; the game has ended"]
    expect(driver.status() == 1 and said == ours, "the window destroyed: one line of ours, status 1",
           "status %s: %s" % (driver.status(), said))


# Xft.dpi 192, no window manager: a 948x802 client area, the 474x401 start picture doubled. Only here is the scale
# read from a real X server's resources, which the unit tests, on SDL's dummy driver, never reach.
def hidpi(driver):
    session = driver.session
    subprocess.run(["xrdb", "-merge", "-"], input=b"Xft.dpi: 192\n", env=session.env, check=True)
    unscaled = X11(["env", "QUILLFANE_SCALE=1", *driver.argv], session)
    game = Game(unscaled)
    unscaled.start()
    game.centred("at scale 1", heading=180)
    doubled = {(2 * x + i, 2 * y + j) for x, y in game.seen.lit for i in (0, 1) for j in (0, 1)}
    unscaled.proc.terminate()
    unscaled.ends("SIGTERM")
    driver.start()

    def shows_doubled():
        return driver.client_size() == (948, 802) and driver.capture().lit == doubled

    expect(poll(shows_doubled), "a 948x802 client area showing the start picture doubled", driver.client_size())
    driver.proc.terminate()
    driver.ends("SIGTERM")


NO_MAP_WM = """from Xlib import X, Xatom, display
d = display.Display()
d.screen().root.change_attributes(event_mask=X.SubstructureRedirectMask)
d.screen().root.change_property(d.intern_atom("_NET_WORKAREA"), Xatom.CARDINAL, 32, [0, 0, 1, 1])
while True:
    d.next_event()"""
