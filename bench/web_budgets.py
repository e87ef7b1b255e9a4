#!/usr/bin/env python3
"""Prints the web page's budgets, measured in headless Chromium (e2e/run.py's Chromium):
page weight (every file a first visit loads, the service worker keeping them all; plain and gzipped), the time from
navigation to the first drawn frame, frames per second, and the browser's CPU per frame (all
of Chromium's processes) against the reference page (bench/web_reference.cpp, a blocking
wasm loop that moves a small square), with Left and Up held and Space tapped
every 0.2 s in both; the two run at the same time, each in its own browser, so that the
machine's other load weighs on both alike. Nothing is asserted: these are figures to read against the goals.
Usage: bench/web_budgets.py [BUILD-WEB [SECONDS [ROUNDS]]]   (default build-web 5 3)"""

import gzip, os, statistics, sys, time  # noqa: E401

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from run import Chromium, poll  # noqa: E402

# Counts the frames (each ends in one sleep, a setTimeout) and notes when the first ended,
# its picture already put on the canvas.
PROBE = """window.budget = {frames: 0, firstFrame: 0};
const sleep = window.setTimeout;
window.setTimeout = function (...args) {
  budget.frames++ || (budget.firstFrame = performance.now());
  return sleep.apply(window, args);
};"""


def cpu_seconds(root):  # user and system time of a process and all its descendants
    parents = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            fields = open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()
            parents[int(pid)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
        except OSError:
            pass
    family, total = {root}, 0
    for _ in range(4):  # deep enough for Chromium's zygote and its renderers
        family |= {pid for pid, (ppid, _) in parents.items() if ppid in family}
    total = sum(parents[pid][1] for pid in family if pid in parents)
    return total / os.sysconf("SC_CLK_TCK")


def weight(build):
    print("page weight:")
    plain = packed = 0
    for name in ("index.html", "quillfane.js", "quillfane.wasm", "quillfane.webmanifest", "sw.js", "icon-192.png", "icon-512.png"):
        data = open(os.path.join(build, name), "rb").read()
        plain, packed = plain + len(data), packed + len(gzip.compress(data, 9))
        print("  %-21s %7d bytes, %6d gzipped" % (name, len(data), len(gzip.compress(data, 9))))
    print("  %-21s %7d bytes (%.1f KB; goal at most 150 KB), %6d gzipped" % ("total", plain, plain / 1024, packed))


def open_page(b, page):
    b.send("Page.navigate", url=b.url + page)
    return poll(lambda: b.js("window.budget && budget.firstFrame"), 10)


def side_by_side(browsers, seconds):  # frames per second and CPU seconds per frame of each, over the same time
    for b in browsers:
        b.xdo("keydown Left keydown Up")
    before = [(b.js("budget.frames"), cpu_seconds(b.browser.pid)) for b in browsers]
    began = time.monotonic()
    while time.monotonic() - began < seconds:
        for b in browsers:
            b.xdo("keydown space")
        time.sleep(0.05)
        for b in browsers:
            b.xdo("keyup space")
        time.sleep(0.15)
    elapsed = time.monotonic() - began
    after = [(b.js("budget.frames"), cpu_seconds(b.browser.pid)) for b in browsers]
    for b in browsers:
        b.xdo("keyup Left keyup Up")
    return [((f1 - f0) / elapsed, (c1 - c0) / max(f1 - f0, 1)) for (f0, c0), (f1, c1) in zip(before, after)]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build-web"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    weight(build)
    game, reference = Chromium(build), Chromium(build)
    try:
        for b in (game, reference):
            b.send("Page.enable"), b.send("Page.addScriptToEvaluateOnNewDocument", source=PROBE)
        firsts = [open_page(game, "index.html") for _ in range(5)]
        print("navigation to the first drawn frame: median %.0f ms of 5 loads (%s ms; goal at most 300 ms)"
              % (statistics.median(firsts), ", ".join("%.0f" % f for f in firsts)))
        open_page(reference, "web_reference.html")
        side_by_side((game, reference), 2)  # unreported: a page just opened costs its browser more a while
        ratios, rates = [], []
        for n in range(rounds):
            (fps, mine), (_, theirs) = side_by_side((game, reference), seconds)
            ratios.append(mine / theirs)
            rates.append(fps)
            print("round %d: %.1f frames/s; CPU per frame %.3f ms, reference %.3f ms: %.2fx"
                  % (n + 1, fps, mine * 1000, theirs * 1000, mine / theirs))
        print("frames per second: median %.1f (goal 90 to 105)" % statistics.median(rates))
        print("browser CPU per frame against the reference: median %.2fx (goal at most 1.1x)" % statistics.median(ratios))
    finally:
        game.close(), reference.close()


if __name__ == "__main__":
    main()
