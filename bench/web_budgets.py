#!/usr/bin/env python3
"""Prints the web page's budgets, measured in headless Chromium (the real-screen harness's Chromium driver):
page weight (every file a first visit loads, the service worker keeping them all; plain and gzipped), the time from
navigation to the first drawn frame, frames per second, and the browser's CPU per frame (all
of Chromium's processes) against the reference page (bench/web_reference.cpp, a blocking
wasm loop that moves a small square), with Left and Up held and Space tapped
every 0.2 s in both; the two run at the same time, each in its own browser, so that the
machine's other load weighs on both alike. Nothing is asserted: these are figures to read against the goals.
Usage: bench/web_budgets.py [BUILD-WEB [SECONDS [ROUNDS]]]   (default build-web 5 3)"""

import gzip
import os
import statistics
import sys
import time

from e2e_path import ensure_packages
from player import poll

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
    weight(build)
    ensure_packages("chromium", "chromium-driver", "python3-websocket", "python3-pil")
    from browsers import Chromium
    game = Chromium(build)
    reference = Chromium(build)
    try:
        for browser in (game, reference):
            browser.preload(PROBE)
        firsts = [open_page(game, "index.html") for _ in range(5)]
        each = ", ".join("%.0f" % first for first in firsts)
        print("navigation to the first drawn frame, by the page's own clock: median %.0f ms of 5 loads (%s ms; "
              "goal at most 300 ms)" % (statistics.median(firsts), each))
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
