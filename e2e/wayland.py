# The game on sway headless: keys from wtype, pictures from grim, the window's place from sway's tree.
import json
import os
import pwd
import subprocess
import time

from player import Capture, expect, lit_pixels, poll
from programs import Programs
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


def wtype(released, pressed):
    argv = ["wtype"]
    for key in released:
        argv += ["-p", key]
    for key in pressed:
        argv += ["-P", key]
    return argv


def asleep(program):
    """Whether the program waits in a sleep, its work before it done."""
    with open("/proc/%d/wchan" % program.pid) as waiting_in:
        return "nanosleep" in waiting_in.read()


class WaylandSession(XSession):
    # sway headless in a private XDG_RUNTIME_DIR, windows floating without borders. One virtual keyboard stays
    # the whole session: SDL 2.26 drops the first key after a keyboard comes, and can crash as keyboards come and
    # go. A wtype that exits at once would be a tap. A keyboard that comes makes SDL let go of every key, and one
    # that goes lets go of the keys it pressed, whoever holds them now. So each change of the keys held is a new
    # wtype that lets go of the key released and presses again every key held, and stays; they all go together
    # once no key is held.
    def __init__(self):
        self.held = []
        self.keyboards = []  # the wtypes that pressed the keys held, the newest last
        self.programs = Programs("quillfane-w")
        self.folder = self.programs.folder.name
        run = self.folder
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
        self.press(self.held, [])
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
        self.press([], self.held + [name])

    def key_up(self, name):
        self.press([name], [key for key in self.held if key != name])

    def press(self, released, held):
        """Lets the released keys go and holds these, and no others, until the next call."""
        self.held = held
        keyboard = self.spawn(wtype(released, held) + ["-s", "86400000"])
        expect(poll(lambda: asleep(keyboard)), "wtype to have sent its keys", "it still sending")
        self.keyboards.append(keyboard)
        if held:
            return
        for keyboard in self.keyboards:
            keyboard.terminate()
            keyboard.wait()
        self.keyboards = []

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
        command = "[con_id=%d] resize set %d %d" % (window, *size)
        subprocess.run(["swaymsg", command], env=self.env, stdout=self.programs.log)


class Wayland(X11):
    # The shared script's driver on sway: the window is sway's container id.
    def __init__(self, argv):
        X11.__init__(self, argv, WaylandSession())


def no_egl(driver):  # with no EGL to draw through, one line and status 1
    began = time.monotonic()
    game = driver.session.spawn(driver.argv, __EGL_VENDOR_LIBRARY_FILENAMES="/dev/null")
    poll(lambda: game.poll() is not None, 6)
    took = time.monotonic() - began
    said = [line for line in driver.session.printed().splitlines() if "quillfane" in line]
    expect(game.poll() == 1 and len(said) == 1 and took < 6, "with no EGL, status 1 and one line",
           "status %s, %s after %.1f s" % (game.poll(), said, took))
