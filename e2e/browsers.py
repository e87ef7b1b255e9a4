# The page in real browsers, each a driver for player.py: Chromium and Firefox over WebDriver BiDi, one client
# serving both, and a phone emulated by Chromium; WebKit's driver (webkit.py) and the page's own checks
# (web_scenarios.py) are here too for run.py.
import base64
import json
import os
import signal
import urllib.request

import websocket  # Debian's python3-websocket

from player import expect
from web_page import CONTROLS, LANDSCAPE, PORTRAIT, Page, decode
from web_scenarios import page_scenario, phone_scenario
from webkit import WebKit

__all__ = ["Chromium", "Firefox", "Phone", "WebKit", "page_scenario", "phone_scenario"]


class BiDi:
    # One WebDriver BiDi connection: each command waits for the answer with its id. Of the events that come
    # in between, the page's uncaught errors are kept.
    def __init__(self, url):
        self.socket = websocket.create_connection(url, suppress_origin=True, timeout=60)
        self.last_id = 0
        self.errors = []

    def send(self, command, /, **params):  # positional: goog:cdp.sendCommand has a parameter named method
        self.last_id += 1
        self.socket.send(json.dumps({"id": self.last_id, "method": command, "params": params}))
        answer = self.receive()
        while answer.get("id") != self.last_id:
            answer = self.receive()
        expect(answer.get("type") == "success", command + " to succeed", answer)
        return answer["result"]

    def receive(self):
        message = json.loads(self.socket.recv())
        if message.get("method") == "log.entryAdded":
            entry = message["params"]
            if entry.get("type") == "javascript" and entry.get("level") == "error":
                self.errors.append(entry.get("text"))
        return message


class BiDiPage(Page):
    # A browser over WebDriver BiDi, once its subclass has connected a session.
    def connect(self, bidi):
        self.bidi = bidi
        self.bidi.send("session.subscribe", events=["log.entryAdded"])
        self.context = self.bidi.send("browsingContext.getTree")["contexts"][0]["context"]

    def js(self, expression):
        """The expression's value (a promise's, once it settles), through JSON."""
        wrapped = "(async () => JSON.stringify(await (%s)))()" % expression
        result = self.bidi.send("script.evaluate", expression=wrapped, target={"context": self.context},
                                awaitPromise=True)
        expect(result["type"] == "success", expression + " to run", result.get("exceptionDetails"))
        value = result["result"].get("value")
        if value is None:
            return None
        return json.loads(value)

    def open(self, url):
        self.bidi.send("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def screenshot(self, box):
        # From the viewport: from the document's corner, the canvas moves 7.5 px when the scrollbar goes.
        clip = {"type": "box", "x": box.x, "y": box.y, "width": box.width, "height": box.height}
        shot = self.bidi.send("browsingContext.captureScreenshot", context=self.context, origin="viewport", clip=clip)
        return decode(base64.b64decode(shot["data"]))

    def press(self, value, down):
        # The keyboard's state stays between calls: a key sent down is held until sent up.
        action = {"type": "keyDown" if down else "keyUp", "value": value}
        self.bidi.send("input.performActions", context=self.context,
                       actions=[{"type": "key", "id": "keyboard", "actions": [action]}])

    def hide_tab(self):
        """Another tab in front of the page's."""
        self.other_tab = self.bidi.send("browsingContext.create", type="tab")["context"]

    def show_tab(self):
        self.bidi.send("browsingContext.activate", context=self.context)
        self.bidi.send("browsingContext.close", context=self.other_tab)

    def preload(self, source):
        """Runs the source in every page opened from now on, before the page's own scripts."""
        self.bidi.send("script.addPreloadScript", functionDeclaration="() => {%s}" % source)

    def errors(self):
        return self.bidi.errors


CHROMIUM_ARGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 # Without these it keeps reaching for the network, and this machine's closed one refuses it.
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=1024,768"]


class Chromium(BiDiPage):
    # Headless Chromium, started by chromedriver for a session whose webSocketUrl is its BiDi connection.
    session_url = None  # chromedriver's address for the session, once there is one

    def launch(self):
        self.programs.start(["chromedriver", "--port=0"])
        port = self.programs.wait_for(r"started successfully on port (\d+)", "chromedriver's port")[1]
        sessions = "http://127.0.0.1:%s/session" % port
        profile = os.path.join(self.programs.folder.name, "profile")
        options = {"binary": "/usr/bin/chromium", "args": CHROMIUM_ARGS + ["--user-data-dir=" + profile]}
        capabilities = {"alwaysMatch": {"webSocketUrl": True, "goog:chromeOptions": options}}
        session = self.http("POST", sessions, {"capabilities": capabilities})
        self.session_url = sessions + "/" + session["sessionId"]
        self.browser_pid = session["capabilities"]["goog:processID"]
        self.connect(BiDi(session["capabilities"]["webSocketUrl"]))

    def http(self, method, url, body=None):
        data = None
        if body is not None:
            data = json.dumps(body).encode()
        request = urllib.request.Request(url, data=data, method=method, headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=60) as answer:
            return json.load(answer)["value"]

    def cdp(self, method, **params):
        """A DevTools command on the page, through chromedriver's BiDi extension."""
        session = self.bidi.send("goog:cdp.getSession", context=self.context)["session"]
        return self.bidi.send("goog:cdp.sendCommand", method=method, params=params, session=session)["result"]

    def end_browser(self):
        # Chromium is chromedriver's child, which chromedriver leaves running when it is ended itself.
        if self.session_url is None:
            return
        try:
            self.http("DELETE", self.session_url)
        except OSError as error:
            print("chromedriver did not end the session (%s): ending Chromium, pid %d" % (error, self.browser_pid))
            os.kill(self.browser_pid, signal.SIGTERM)


class Firefox(BiDiPage):
    # Headless firefox-esr, whose own BiDi server it names on starting.
    skips = {
        "tab_shown_repaints": "headless Firefox never gives its window the focus (document.hasFocus() stays false), "
                              "so the page never sees it come back to the front, which is when it repaints",
        "controller": "the page reads a controller only while it has the focus, which headless Firefox never gives "
                      "(document.hasFocus() stays false)",
    }

    def launch(self):
        profile = os.path.join(self.programs.folder.name, "profile")
        os.mkdir(profile)
        self.programs.start(["firefox-esr", "--headless", "--no-remote", "--profile", profile,
                             "--remote-debugging-port", "0", "about:blank"])
        address = self.programs.wait_for(r"WebDriver BiDi listening on (ws://\S+)", "Firefox's BiDi address")[1]
        bidi = BiDi(address + "/session")
        bidi.send("session.new", capabilities={})
        self.connect(bidi)
        # Not its 1366x768 default: the canvas filling an 800x600 page is shot in half the time it takes at 1024x768,
        # and a ship turning 5 degrees a frame turns less between two pictures.
        self.bidi.send("browsingContext.setViewport", context=self.context, viewport={"width": 800, "height": 600})


class Phone(Chromium):
    # Chromium as a 390x844 phone at 3 device pixels to the CSS pixel, touched: a key held is a finger held on
    # the page's control for it, each finger its own pointer.
    skips = {"esc_ends": "a phone has no Esc key, and the page no control for it: closing the tab ends the game"}

    def launch(self):
        super().launch()
        self.bidi.send("emulation.setTouchOverride", maxTouchPoints=5, contexts=[self.context])
        self.orient(PORTRAIT)

    def orient(self, size):
        """The phone held upright or turned: its screen's size in CSS pixels."""
        width, height = size
        self.bidi.send("browsingContext.setViewport", context=self.context,
                       viewport={"width": width, "height": height}, devicePixelRatio=3)
        self.bidi.send("emulation.setScreenSettingsOverride", contexts=[self.context],
                       screenArea={"width": width, "height": height})

    def change_size(self):
        self.orient(LANDSCAPE)

    def key_down(self, key):
        self.touch_down(CONTROLS[key])

    def key_up(self, key):
        self.touch_up(CONTROLS[key])

    def picture(self):
        """The canvas shot by Chromium itself at one pixel to each canvas pixel. A shot of the phone's own 3x3
        device pixels to each takes a third of a second to take and decode, in which the ship turns 150 degrees
        and more; that both show the same picture is a step of the phone's scenario (pixels_whole)."""
        box = self.canvas_box()
        clip = {"x": box.x, "y": box.y, "width": box.width, "height": box.height, "scale": 1 / box.ratio}
        image = decode(base64.b64decode(self.cdp("Page.captureScreenshot", format="png", clip=clip)["data"]))
        size = (box.width, box.height)
        expect(image.size == size, "a screenshot of the canvas's %dx%d pixels" % size, image.size)
        return image

    def control_middle(self, name):
        middle = self.js("(r => [r.x + r.width / 2, r.y + r.height / 2])"
                         "(document.querySelector('[aria-label=\"%s\"]').getBoundingClientRect())" % name)
        return round(middle[0]), round(middle[1])

    def finger(self, control, actions):
        """The actions of the finger that goes down on the control; it stays where they leave it."""
        source = {"type": "pointer", "id": "finger on " + control, "parameters": {"pointerType": "touch"},
                  "actions": actions}
        self.bidi.send("input.performActions", context=self.context, actions=[source])

    def touch_down(self, control):
        x, y = self.control_middle(control)
        self.finger(control, [{"type": "pointerMove", "x": x, "y": y}, {"type": "pointerDown", "button": 0}])

    def slide(self, control, place):
        x, y = place
        self.finger(control, [{"type": "pointerMove", "x": x, "y": y, "duration": 100}])

    def touch_up(self, control):
        self.finger(control, [{"type": "pointerUp", "button": 0}])

    def tap(self, control):
        """A finger down and up again at once, with no pause between."""
        x, y = self.control_middle(control)
        self.finger(control, [{"type": "pointerMove", "x": x, "y": y}, {"type": "pointerDown", "button": 0},
                              {"type": "pointerUp", "button": 0}])
