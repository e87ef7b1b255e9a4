#!/usr/bin/env python3
"""Prints the web page's budgets. Page weight (every file a first visit loads, the service worker keeping them all;
plain and gzipped). The first frame as the screen shows it, in Chromium and in WebKitGTK: from navigation start
(the page's performance.timeOrigin) to the first of the browser's own screenshots, taken one after another, that
shows the whole start ship, for the game's page and for the reference start_reference.html (the golden start
picture drawn by an inline script, no wasm), each load in a fresh browser profile (a first visit) and then once
more in it (a repeat visit, the game's service worker in place); medians, and game/reference for each.
The first drawn frame by the page's own clock too (headless Chromium). Then, in headless Chromium, frames per
second and the browser's CPU per frame (all of Chromium's processes) against the reference page
(bench/web_reference.cpp, a blocking wasm loop that moves a small square), with Left and Up held and Space tapped
every 0.2 s in both; the two run at the same time, each in its own browser, so that the machine's other load
weighs on both alike. Nothing is asserted: these are figures to read against the goals.
Usage: bench/web_budgets.py [BUILD-WEB [SECONDS [ROUNDS [LOADS]]]]   (default build-web 5 3 7; ROUNDS 0 leaves
out the frame rate and CPU)"""

import gzip
import os
import statistics
import sys
import time

from e2e_path import ROOT, ensure_packages
from player import expect, lit_pixels, poll
from start_reference import start_ship

# Counts the frames (each ends in one sleep, a setTimeout) and notes when the first ended,
# its picture already put on the canvas.
PROBE = """window.budget = {frames: 0, firstFrame: 0};
const sleep = window.setTimeout;
window.setTimeout = function (...args) {
  budget.frames++ || (budget.firstFrame = performance.now());
  return sleep.apply(window, args);
};"""


def cpu_seconds(root):
    """User and system time of a process and all its descendants."""
    parents = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:  # a process that has just ended
            continue
        parents[int(pid)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
    family = {root}
    for _ in range(4):  # deep enough for Chromium's zygote and its renderers
        family |= {pid for pid, (parent, _) in parents.items() if parent in family}
    ticks = sum(parents[pid][1] for pid in family if pid in parents)
    return ticks / os.sysconf("SC_CLK_TCK")


def weight(build):
    print("page weight:")
    plain = 0
    packed = 0
    for name in ("index.html", "quillfane.js", "quillfane.wasm", "quillfane.webmanifest", "sw.js", "icon-192.png",
                 "icon-512.png"):
        with open(os.path.join(build, name), "rb") as page_file:
            data = page_file.read()
        gzipped = len(gzip.compress(data, 9))
        plain += len(data)
        packed += gzipped
        print("  %-21s %7d bytes, %6d gzipped" % (name, len(data), gzipped))
    print("  %-21s %7d bytes (%.1f KB; goal at most 150 KB), %6d gzipped" % ("total", plain, plain / 1024, packed))


def open_page(browser, page):
    """Opens the page; returns the time from navigation to its first drawn frame, in ms, by the page's clock."""
    browser.open(browser.url + page)
    return poll(lambda: browser.js("window.budget && budget.firstFrame"), 10)


def navigate(browser, url):
    """Starts the browser on its way to the url, returning at once."""
    if hasattr(browser, "bidi"):
        browser.bidi.send("browsingContext.navigate", context=browser.context, url=url, wait="none")
    else:  # classic WebDriver's own navigation returns only once the page has loaded
        browser.browser.execute_script("location.href = arguments[0]", url)


def shown_after(browser, page, box, ship):
    """ms from navigation start to the middle of the first screenshot that shows the start ship whole."""
    navigate(browser, browser.url + page)
    end = time.time() + 20
    while time.time() < end:
        before = time.time()
        image = browser.screenshot(box)
        after = time.time()
        data = image.tobytes()
        # Only a picture nearly all black is looked at pixel by pixel: a page still white would take long.
        if len(data) - data.count(0) <= 3 * len(ship) and lit_pixels(data, image.width, 3) == ship:
            return (before + after) / 2 * 1000 - browser.js("performance.timeOrigin")
    raise AssertionError("%s showed no start ship within 20 s" % page)


def worker_keeps_page(browser):
    return browser.js("navigator.serviceWorker.getRegistration()"
                      ".then(kept => !!kept && !!kept.active && kept.active.state === 'activated')")


def visits(engine, build, page, box, ship):
    """The first frame's times of a first visit in a fresh profile, and of a repeat visit after it."""
    for attempt in (1, 2):  # WebKit's web process crashes now and then of itself
        browser = engine(build)
        try:
            first = shown_after(browser, page, box, ship)
            if page == "index.html":
                expect(poll(lambda: worker_keeps_page(browser), 20), "the service worker to keep the page", "not")
            browser.open("about:blank")
            return first, shown_after(browser, page, box, ship)
        except Exception as error:  # whatever the driver met: once more, then raised
            if attempt == 2:
                raise
            print("  (%s, %s: %s; loaded once more)" % (engine.__name__, page, str(error).splitlines()[0]))
        finally:
            browser.close()


def first_frames(build, loads):
    ship = start_ship(os.path.join(ROOT, "tests", "golden", "random1-0.pgm"))
    from browsers import Chromium, WebKit
    print("first frame on the screen: navigation start to the first screenshot showing the whole start ship; "
          "medians of %d loads, each a fresh profile (first visit) and then once more (repeat visit)" % loads)
    pages = ("index.html", "start_reference.html")
    for engine in (Chromium, WebKit):
        boxes = {}
        browser = engine(build)  # the canvas's place on each page; and the browser's files read from disk once
        try:
            for page in pages:
                browser.open(browser.url + page)
                boxes[page] = browser.canvas_box()
        finally:
            browser.close()
        times = {(page, visit): [] for page in pages for visit in (0, 1)}
        for n in range(loads):
            for page in pages[::1 if n % 2 else -1]:
                for visit, ms in enumerate(visits(engine, build, page, boxes[page], ship)):
                    times[page, visit].append(ms)
        for visit, name, goal in ((0, "first visit", 1.5), (1, "repeat visit", 1.3)):
            game = statistics.median(times["index.html", visit])
            reference = statistics.median(times["start_reference.html", visit])
            print("  %-8s %-12s game %4.0f ms, reference %4.0f ms: %.2fx (goal at most %.1fx)   game %s; reference %s"
                  % (engine.__name__, name, game, reference, game / reference, goal,
                     " ".join("%.0f" % ms for ms in times["index.html", visit]),
                     " ".join("%.0f" % ms for ms in times["start_reference.html", visit])))


def counters(browsers):
    return [(browser.js("budget.frames"), cpu_seconds(browser.browser_pid)) for browser in browsers]


def side_by_side(browsers, seconds):
    """Frames per second and CPU seconds per frame of each browser, over the same time."""
    for browser in browsers:
        browser.key_down("Left")
        browser.key_down("Up")
    before = counters(browsers)
    began = time.monotonic()
    while time.monotonic() - began < seconds:
        for browser in browsers:
            browser.key_down("space")
        time.sleep(0.05)
        for browser in browsers:
            browser.key_up("space")
        time.sleep(0.15)
    elapsed = time.monotonic() - began
    after = counters(browsers)
    for browser in browsers:
        browser.key_up("Left")
        browser.key_up("Up")
    figures = []
    for (frames_before, cpu_before), (frames_after, cpu_after) in zip(before, after):
        frames = frames_after - frames_before
        figures.append((frames / elapsed, (cpu_after - cpu_before) / max(frames, 1)))
    return figures


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-web"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    loads = int(sys.argv[4]) if len(sys.argv) > 4 else 7
    weight(build)
    ensure_packages("chromium", "chromium-driver", "python3-websocket", "python3-pil", "webkit2gtk-driver", "xvfb",
                    "python3-selenium")
    first_frames(build, loads)
    from browsers import Chromium
    game = Chromium(build)
    reference = Chromium(build)
    try:
        for browser in (game, reference):
            browser.preload(PROBE)
        firsts = [open_page(game, "index.html") for _ in range(5)]
        each = ", ".join("%.0f" % first for first in firsts)
        print("navigation to the first drawn frame, by the page's own clock (its pixels handed to the canvas, not "
              "yet on the screen): median %.0f ms of 5 loads (%s ms; goal at most 300 ms)"
              % (statistics.median(firsts), each))
        if rounds == 0:
            return
        open_page(reference, "web_reference.html")
        side_by_side((game, reference), 2)  # unreported: a page just opened costs its browser more a while
        ratios = []
        rates = []
        for n in range(rounds):
            (fps, mine), (_, theirs) = side_by_side((game, reference), seconds)
            ratios.append(mine / theirs)
            rates.append(fps)
            print("round %d: %.1f frames/s; CPU per frame %.3f ms, reference %.3f ms: %.2fx"
                  % (n + 1, fps, mine * 1000, theirs * 1000, mine / theirs))
        print("frames per second: median %.1f (goal 90 to 105)" % statistics.median(rates))
        print("browser CPU per frame against the reference: median %.2fx (goal at most 1.1x)"
              % statistics.median(ratios))
    finally:
        game.close()
        reference.close()


if __name__ == "__main__":
    main()
