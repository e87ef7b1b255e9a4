#!/usr/bin/python3
# The game on Wayland (sway headless, the window floating at 474x401) and on X11 (Xvfb and
# openbox), both at the same time, with Left and Up held: frames a second and CPU a frame,
# the game's own (every thread, Mesa's included) plus the compositor's or X server's. Then
# what presenting costs at scale 2 on X11 against scale 1 (present_bench).
# Usage: bench/wayland_x11.py [BUILD_DIR [SECONDS [ROUNDS]]]   (build-test/, 10 s, 2 rounds)
# Frames are counted as the game's 10 ms sleeps (perf stat on the clock_nanosleep
# tracepoint), CPU from /proc/PID/task/*/schedstat, as bench/side_by_side.py does.
import json
import os
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
subprocess.run(["bash", "-c", '. "$0/scripts/ensure-packages.sh" && ensure_packages xvfb openbox xdotool '
                "x11-utils python3-xlib linux-perf sway wtype grim", ROOT], check=True)
sys.path.insert(0, os.path.join(ROOT, "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from run import WaylandSession, XSession  # noqa: E402
from side_by_side import cpu_ns  # noqa: E402


def measure(s, server, game, seconds):
    window = s.find("Quillfane")
    if not window:
        sys.exit("no window titled Quillfane in the %s session" % type(s).__name__)
    time.sleep(1)  # past start-up
    s.xdo("keydown Left keydown Up")
    began, cpu0, server0 = time.monotonic(), cpu_ns(game.pid), cpu_ns(server.pid)
    counted = subprocess.run(["perf", "stat", "-e", "syscalls:sys_enter_clock_nanosleep", "-p", str(game.pid),
                              "--", "sleep", str(seconds)], stderr=subprocess.PIPE, text=True).stderr
    wall, cpu1, server1 = time.monotonic() - began, cpu_ns(game.pid), cpu_ns(server.pid)
    s.xdo("keyup Up keyup Left")
    count = re.search(r"^\s*([\d,]+)\s+syscalls:sys_enter_clock_nanosleep", counted, re.M)
    elapsed = re.search(r"([\d.]+) seconds time elapsed", counted)
    if not count or not elapsed:
        sys.exit("perf counted nothing:\n" + counted)
    frames = int(count.group(1).replace(",", "")) * wall / float(elapsed.group(1))
    return dict(rate=frames / wall, game=(cpu1 - cpu0) / frames / 1e3, server=(server1 - server0) / frames / 1e3)


def present_cost(build, scale):  # present_bench's figures on X11: {name: (real us, CPU us)}
    s = XSession(None, (3840, 2160))
    try:
        out = subprocess.run([os.path.join(build, "present_bench"), "--benchmark_filter=ShipFrame|Present/474/",
                              "--benchmark_format=json"], env=dict(s.env, QUILLFANE_SCALE=str(scale)),
                             capture_output=True, text=True).stdout
    finally:
        s.close()
    return {b["name"]: (b["real_time"], b["cpu_time"]) for b in json.loads(out)["benchmarks"]}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-test")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    results = {"sway": [], "X11": []}
    for _ in range(rounds):
        # Fresh sessions each round: SDL 2.26 can crash in a game started after the keyboard
        # that last typed in the session has gone.
        sessions, pair = {"sway": WaylandSession(), "X11": XSession()}, {}
        try:
            games = {name: s.spawn([os.path.join(build, "quillfane")]) for name, s in sessions.items()}
            threads = [threading.Thread(target=lambda n=n: pair.__setitem__(n, measure(
                sessions[n], sessions[n].xvfb, games[n], seconds))) for n in sessions]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
        finally:
            for s in sessions.values():
                s.close()
        if len(pair) < 2:
            sys.exit("a game did not run its whole round")
        for name, r in pair.items():
            results[name].append(r)
            print("%-5s %6.1f frames/s; CPU a frame %6.1f us game + %6.1f us %s = %6.1f us" % (
                name, r["rate"], r["game"], r["server"], "compositor" if name == "sway" else "X server",
                r["game"] + r["server"]), flush=True)
    rate = {name: sum(r["rate"] for r in rs) / len(rs) for name, rs in results.items()}
    print("mean frames/s: sway %.1f, X11 %.1f; sway/X11 = %.2f (goal: at least 0.90)" % (
        rate["sway"], rate["X11"], rate["sway"] / rate["X11"]))
    one, two = present_cost(build, 1), present_cost(build, 2)
    for name in one:
        print("X11 %-30s scale 1: %7.1f us (CPU %6.1f us), scale 2: %7.1f us (CPU %6.1f us)" % (
            name, *one[name], *two[name]))


if __name__ == "__main__":
    main()
