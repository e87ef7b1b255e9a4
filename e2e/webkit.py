# The page in WebKitGTK's MiniBrowser on an Xvfb of its own, through WebKitWebDriver. That speaks only classic
# WebDriver (HTTP, no BiDi: it refuses a session asking for webSocketUrl), whose client selenium is.
import glob
import json
import os
import socket
import subprocess

from selenium import webdriver  # Debian's python3-selenium
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.webkitgtk.options import Options

from player import expect, poll
from web_page import Page, decode

# libwebkit2gtk-4.1-0's, under the machine's own multiarch folder.
MINIBROWSERS = glob.glob("/usr/lib/*/webkit2gtk-4.1/MiniBrowser")

# Classic WebDriver runs no script before the page's own: uncaught errors are gathered from the game's start on.
GATHER_ERRORS = """window.uncaughtErrors = [];
addEventListener('error', event => uncaughtErrors.push(String(event.message)));
addEventListener('unhandledrejection', event => uncaughtErrors.push(String(event.reason)));"""


def free_port():
    """A port nothing listens on now. WebKitWebDriver given port 0 picks one but never says which."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


class WebKit(Page):
    browser = None  # selenium's session, once there is one
    # WebKitGTK 2.50's web process stops now and then on an assertion of its own (an invalid-opcode trap inside
    # libwebkit2gtk), seen here in about one run of ten, at different steps: a run that ends so is played again once.
    ENGINE_CRASH = "WebProcess CRASHED"
    skips = {
        "canvas_taken_first": "classic WebDriver cannot run a script before the page's own (BiDi's "
                              "script.addPreloadScript), and WebKitWebDriver speaks no BiDi",
    }

    def launch(self):
        expect(MINIBROWSERS, "WebKitGTK's MiniBrowser (Debian's libwebkit2gtk-4.1-0)", "none")
        xvfb = self.programs.start(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                   stdout=subprocess.PIPE)
        number = xvfb.stdout.readline().decode().strip()
        expect(number.isdigit(), "Xvfb to say its display's number", repr(number))
        display = ":" + number
        port = free_port()
        self.programs.start(["WebKitWebDriver", "--port=%d" % port], env=dict(os.environ, DISPLAY=display))
        expect(poll(lambda: listening(port), 10), "WebKitWebDriver listening on port %d within 10 s" % port, "not")
        options = Options()
        options.binary_location = MINIBROWSERS[0]
        options.add_argument("--automation")
        self.browser = webdriver.Remote("http://127.0.0.1:%d" % port, options=options)

    def start(self):
        super().start()
        self.run(GATHER_ERRORS)

    def js(self, expression):
        """The expression's value (a promise's, once it settles), through JSON."""
        value = self.browser.execute_script("return (async () => JSON.stringify(await (%s)))()" % expression)
        if value is None:
            return None
        return json.loads(value)

    def open(self, url):
        self.browser.get(url)

    def screenshot(self, box):
        # Its screenshot of an element comes back black: the viewport's is cropped to the canvas instead.
        viewport = decode(self.browser.get_screenshot_as_png())
        left = round(box.x)
        top = round(box.y)
        inside = left >= 0 and top >= 0 and left + box.width <= viewport.width and top + box.height <= viewport.height
        expect(inside, "the canvas within the %dx%d viewport" % viewport.size, box)
        return viewport.crop((left, top, left + box.width, top + box.height))

    def press(self, value, down):
        # Each perform() sends its own actions; WebKitWebDriver keeps a key sent down held until it is sent up.
        keys = ActionChains(self.browser)
        if down:
            keys.key_down(value)
        else:
            keys.key_up(value)
        keys.perform()

    def hide_tab(self):
        # MiniBrowser's new tab is a window of its own, which leaves the page visible on a display without a
        # window manager: minimised, the page is hidden as behind another tab.
        self.window = self.browser.get_window_rect()
        self.browser.minimize_window()

    def show_tab(self):
        self.browser.set_window_rect(**self.window)  # which restores the window first

    def errors(self):
        return self.js("window.uncaughtErrors")

    def end_browser(self):
        if self.browser is None:
            return
        try:
            self.browser.quit()
        except WebDriverException as error:  # MiniBrowser ends with WebKitWebDriver all the same
            print("WebKitWebDriver did not end the session: %s" % error)
