# The real game on a real screen, played as a player plays it: the shared player's script on the platform's
# driver, then what only that platform has.
# Usage: run.py SCENARIO GAME, where GAME is the game's command line as one argument ("wine /path/Quillfane.exe"
# too), or the web build's folder for the browsers.
import shlex
import sys
import time

import wayland
import x11
from player import play


def flight(argv):
    driver = x11.X11(argv)
    return driver, [play]


def x11_only(scenario, wm=x11.OPENBOX, size=(1024, 768)):
    def scenario_on_x11(argv):
        driver = x11.X11(argv, x11.XSession(wm, size))
        return driver, [scenario]

    return scenario_on_x11


def on_wayland(argv):
    driver = wayland.Wayland(argv)
    return driver, [play, wayland.no_egl]


def in_browser(kind):
    def browser_scenario(root):
        import browsers  # Debian's python3-websocket, python3-pil and python3-selenium, only for these
        driver = getattr(browsers, kind)(root)
        own = browsers.phone_scenario if kind == "Phone" else browsers.page_scenario
        return driver, [play, own]

    return browser_scenario


NO_MAP_WM = (sys.executable, "-c", x11.NO_MAP_WM)
SCENARIOS = {
    "flight": flight,
    "window": x11_only(x11.window),
    "unshown": x11_only(x11.unshown, NO_MAP_WM),
    "failures": x11_only(x11.failures, None),
    "hostile": x11_only(x11.hostile, None),
    "hidpi": x11_only(x11.hidpi, None, (1920, 1200)),
    "wayland": on_wayland,
    "chromium": in_browser("Chromium"),
    "firefox": in_browser("Firefox"),
    "webkit": in_browser("WebKit"),
    "phone": in_browser("Phone"),
}
BROWSERS = ("chromium", "firefox", "webkit", "phone")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in SCENARIOS:
        print("usage: run.py SCENARIO GAME\n  SCENARIO: one of %s\n  GAME: the game's command line as one argument, "
              "such as build-test/quillfane or \"wine /path/Quillfane.exe\"; for %s, the web build's folder"
              % (", ".join(SCENARIOS), ", ".join(BROWSERS)), file=sys.stderr)
        sys.exit(2)
    name, game = sys.argv[1:]
    began = time.monotonic()
    if not played(name, game, last_try=False):
        print("e2e %s: the browser's engine crashed on its own; played once more" % name)
        played(name, game, last_try=True)
    print("e2e %s passed in %.1f s" % (name, time.monotonic() - began))


def played(name, game, last_try):
    """Whether the scenario passed; False when the driver's engine crashed on its own, if not the last try."""
    driver, steps = SCENARIOS[name](game if name in BROWSERS else shlex.split(game))
    try:
        for step in steps:
            step(driver)
    except BaseException:  # the traceback says what was expected and what was seen
        said = driver.close()
        print(said)
        crash = getattr(driver, "ENGINE_CRASH", None)
        if crash and crash in said and not last_try:
            return False
        raise
    driver.close()
    return True


if __name__ == "__main__":
    main()
