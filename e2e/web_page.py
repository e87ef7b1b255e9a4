# What every browser's driver does with the page for player.py: the build folder served by a local HTTP server of
# its own, the game started and its state read from the page, and every picture the browser's own screenshot of
# the canvas, never the canvas's buffer, whose bytes can be right while the page shows nothing.
import io
import os
import re
import subprocess
from dataclasses import dataclass

import PIL.Image  # Debian's python3-pil

from player import Capture, expect, lit_pixels, poll
from programs import Programs

# The WebDriver code points of the keys player.py names; BiDi and classic WebDriver share them.
KEYS = {"space": " ", "Escape": "\ue00c", "Left": "\ue012", "Up": "\ue013", "Right": "\ue014", "Down": "\ue015"}
# The phone's screen in CSS pixels, upright and turned, and the page's control for each key on it.
PORTRAIT = (390, 844)
LANDSCAPE = (844, 390)
CONTROLS = {"Left": "Turn left", "Right": "Turn right", "Up": "Thrust", "Down": "Shield", "space": "Fire"}


# Python's HTTP server, telling the browser to keep nothing: the page opened again offline then stands on what
# its service worker kept, not on the browser's own cache.
SERVER = """import functools, http.server, sys
class KeepNothing(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()
http.server.test(functools.partial(KeepNothing, directory=sys.argv[1]), http.server.ThreadingHTTPServer,
                 port=0, bind="127.0.0.1")"""


def serve(programs, root):
    """A local HTTP server on the folder root, and the address it serves it at."""
    argv = ["/usr/bin/python3", "-u", "-c", SERVER, os.path.abspath(root)]
    server = programs.start(argv, stdout=subprocess.PIPE)
    first = server.stdout.readline().decode()
    port = re.search(r" port (\d+) ", first)
    expect(port, "the server to say its port", repr(first))
    return server, "http://127.0.0.1:%s/" % port[1]


@dataclass
class CanvasBox:
    x: float  # CSS pixels from the viewport's corner
    y: float
    width: int  # the canvas's own pixels, which the page shows one to a CSS pixel
    height: int
    ratio: float  # devicePixelRatio: device pixels to a CSS pixel


CANVAS_BOX = ("(r => ({x: r.x, y: r.y, width: canvas.width, height: canvas.height, ratio: devicePixelRatio}))"
              "(canvas.getBoundingClientRect())")


def decode(png):
    return PIL.Image.open(io.BytesIO(png)).convert("RGB")


class Page:
    # What every browser's driver does with the page, the build folder served at self.url. Each driver gives
    # launch() (the browser started), js(), open(), screenshot(), press(), hide_tab(), show_tab(), errors() and,
    # where it can, preload().
    skips = {}

    def __init__(self, root):
        self.programs = Programs("quillfane-web")
        try:
            self.server, self.url = serve(self.programs, root)
            self.launch()
        except BaseException:  # no caller could close a driver that was never made
            print(self.close())
            raise

    def close(self):
        """Ends the browser and every program started; returns what they said."""
        self.end_browser()
        return self.programs.close()

    def end_browser(self):
        """Ends the browser, where ending the programs started would not."""

    def start(self):
        self.open(self.url + "index.html")
        expect(poll(lambda: self.state() == "playing", 20), "the page to start the game within 20 s", self.state())

    def state(self):
        state = self.js("document.body.dataset.state")
        if state == "failed":
            raise AssertionError("the page failed: " + self.js("document.getElementById('status').textContent"))
        return state

    def status(self):
        if self.state() == "ended":
            return 0
        return None

    def key_down(self, key):
        self.press(KEYS[key], True)

    def key_up(self, key):
        self.press(KEYS[key], False)

    def outer_size(self):
        return tuple(self.js("[canvas.width, canvas.height]"))

    def resize(self):
        before = self.outer_size()
        self.change_size()
        changed = poll(lambda: self.outer_size() != before)
        expect(changed, "the canvas's size to change from %dx%d" % before, "it kept it")
        return self.outer_size()

    def change_size(self):
        """The canvas grown to fill the page, as a player's click on "Fill the page" does."""
        self.js("fill.click()")

    def run(self, statements):
        self.js("(() => {%s})()" % statements)

    def canvas_box(self):
        return CanvasBox(**self.js(CANVAS_BOX))

    def device_picture(self, box):
        """The canvas as the browser shows it, in device pixels."""
        image = self.screenshot(box)
        shown = (round(box.width * box.ratio), round(box.height * box.ratio))
        expect(image.size == shown, "a screenshot of the canvas's %dx%d device pixels" % shown, image.size)
        return image

    def picture(self):
        """The canvas as the browser shows it, one pixel of the image to each pixel of the canvas."""
        box = self.canvas_box()
        # Each canvas pixel is a block of device pixels, whose centre a nearest-neighbour shrink samples.
        return self.device_picture(box).resize((box.width, box.height), PIL.Image.Resampling.NEAREST)

    def capture(self):
        image = self.picture()
        return Capture(image.width, image.height, lit_pixels(image.tobytes(), image.width, 3))
