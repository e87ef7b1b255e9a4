# The game on sway headless: keys from wtype, pictures from grim, the window's place from sway's tree.
import json
import os
import pwd
import subprocess
import tempfile
import time

from player import Capture, expect, lit_pixels, poll
from x11 import X11, Rect, XSession

SWAY_CONFIG = """xwayland disable
default_border none
default_floating_border none
for_window [title=Quillfane] floating enable
"""


def as_nobody(argv):
    """The command run as nobody when this script runs as root, which sway refuses."""
    if os.getuid() != 0:
        return argv
    nobody = pwd.getpwnam("nobody")
    return ["setpriv", "--reuid=nobody", "--regid=%d" % nobody.pw_gid, "--clear-groups", "--pdeathsig=TERM", *argv]


def node(tree, key, value):
    """The first node of sway's window tree with that key and value, or None."""
    if tree.get(key) == value:
        return tree
    for child in tree["nodes"] + tree["floating_nodes"]:
        found = node(child, key, value)
        if found:
            return found
    return None


class WaylandSession(XSession):
    # sway headless in a private XDG_RUNTIME_DIR, windows floating without borders. One virtual keyboard stays
    # the whole session: SDL 2.26 drops the first key after a keyboard comes, and can crash as keyboards come and
    # go. The keys held are pressed by one wtype that stays until they change: a keyboard going away releases its
    # keys, so a wtype that exits at once would be a tap. One wtype for them all, as SDL lets go of every key
    # when another keyboard comes to the front; it presses them in the order they went down.
    def __init__(self):
        self.procs = []
        self.held = []
        self.pressing = None
        self.tmp = tempfile.TemporaryDirectory(prefix="quillfane-w")
        self.log = open(os.path.join(self.tmp.name, "log"), "w+b")
        run = self.tmp.name
        with open(run + "/config", "w") as config:
            config.write(SWAY_CONFIG)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=run, HOME=run, SWAYSOCK=run + "/ipc", DISPLAY="",
                        WAYLAND_DISPLAY="", SDL_VIDEODRIVER="", WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman")
        if os.getuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(run, nobody.pw_uid, nobody.pw_gid)
        self.xvfb = self.spawn(as_nobody(["sway", "-c", run + "/config"]))  # what close() ends last
        sockets = (run + "/ipc", run + "/wayland-1")
        expect(poll(lambda: all(os.path.exists(path) for path in sockets), 10), "sway", "none")
        self.env["WAYLAND_DISPLAY"] = "wayland-1"
        self.spawn(["wtype", "-s", "86400000"])

    def close(self):
        self.press([])
        return XSession.close(self)

    def close_display(self):  # it has no Xlib connection
        pass

    def tree(self):
        listing = subprocess.run(["swaymsg", "-t", "get_tree"], env=self.env, capture_output=True)
        return json.loads(listing.stdout)

    def find(self, title, deadline=5):
        def window_id():
            found = node(self.tree(), "name", title)
            return found and found["id"]

        return poll(window_id, deadline)

    def key_down(self, name):
        self.press(self.held + [name])

    def key_up(self, name):
        self.press([key for key in self.held if key != name])

    def press(self, keys):
        """Holds these keys, and no others, until the next call."""
        before = self.pressing
        self.held = keys
        self.pressing = None
        if keys:
            argv = ["wtype"]
            for key in keys:
                argv += ["-P", key]
            self.pressing = self.spawn(argv + ["-s", "86400000"])
        if before:
            before.terminate()
            before.wait()

    def rect(self, window):  # the client area is all there is: no borders, and Wayland keeps decorations from SDL
        place = node(self.tree(), "id", window)["rect"]
        return Rect(place["x"], place["y"], place["width"], place["height"])

    def outer_size(self, window):
        client = self.rect(window)
        return client.width, client.height

    def capture(self, window):
        client = self.rect(window)
        area = "%d,%d %dx%d" % (client.x, client.y, client.width, client.height)
        shot = subprocess.run(["grim", "-g", area, "-t", "ppm", "-"], env=self.env, capture_output=True)
        pixels = shot.stdout.split(b"\n", 3)[3]  # after the PPM header's three lines
        return Capture(client.width, client.height, lit_pixels(pixels, client.width, 3))

    def resize(self, window, size):
        subprocess.run(["swaymsg", "[con_id=%d] resize set %d %d" % (window, *size)], env=self.env, stdout=self.log)


class Wayland(X11):
    # The shared script's driver on sway: the window is sway's container id.
    def __init__(self, argv):
        X11.__init__(self, argv, WaylandSession())

    def resize(self, size=(640, 480)):
        self.session.resize(self.window, size)
        expect(poll(lambda: self.client_size() == size), "a resize to %dx%d" % size, self.client_size())
        return size


def no_egl(driver):  # with no EGL to draw through, one line and status 1
    began = time.monotonic()
    game = driver.session.spawn(driver.argv, __EGL_VENDOR_LIBRARY_FILENAMES="/dev/null")
    poll(lambda: game.poll() is not None, 6)
    took = time.monotonic() - began
    said = [line for line in driver.session.printed().splitlines() if "quillfane" in line]
    expect(game.poll() == 1 and len(said) == 1 and took < 6, "with no EGL, status 1 and one line",
           "status %s, %s after %.1f s" % (game.poll(), said, took))
