#!/usr/bin/python3
# The game on Wayland (sway headless, the window floating at 474x401) and on X11 (Xvfb and
# openbox), both at the same time, with Left and Up held: frames a second and CPU a frame,
# the game's own (every thread, Mesa's included) plus the compositor's or X server's. Then
# what presenting costs at scale 2 on X11 against scale 1 (present_bench).
# Usage: bench/wayland_x11.py [BUILD_DIR [SECONDS [ROUNDS]]]   (build-test/, 10 s, 2 rounds)
# Frames are counted as the game's 10 ms sleeps (perf stat on the clock_nanosleep
# tracepoint), CPU from /proc/PID/task/*/schedstat, as bench/side_by_side.py does.
import functools
import json
import os
import re
import subprocess
import sys
import time

from e2e_path import ROOT, ensure_packages
from side_by_side import at_once, cpu_ns
from wayland import WaylandSession
from x11 import XSession


def measure(session, game, seconds):
    window = session.find("Quillfane")
    if not window:
        sys.exit("no window titled Quillfane in the %s session" % type(session).__name__)
    server = session.xvfb  # in a WaylandSession, sway
    time.sleep(1)  # past start-up
    session.key_down("Left")
    session.key_down("Up")
    began = time.monotonic()
    game_began = cpu_ns(game.pid)
    server_began = cpu_ns(server.pid)
    counted = subprocess.run(["perf", "stat", "-e", "syscalls:sys_enter_clock_nanosleep", "-p", str(game.pid),
                              "--", "sleep", str(seconds)], stderr=subprocess.PIPE, text=True).stderr
    wall = time.monotonic() - began
    game_ns = cpu_ns(game.pid) - game_began
    server_ns = cpu_ns(server.pid) - server_began
    session.key_up("Up")
    session.key_up("Left")
    count = re.search(r"^\s*([\d,]+)\s+syscalls:sys_enter_clock_nanosleep", counted, re.M)
    elapsed = re.search(r"([\d.]+) seconds time elapsed", counted)
    if not count or not elapsed:
        sys.exit("perf counted nothing:\n" + counted)
    frames = int(count.group(1).replace(",", "")) * wall / float(elapsed.group(1))
    return dict(rate=frames / wall, game=game_ns / frames / 1e3, server=server_ns / frames / 1e3)


def present_cost(build, scale):  # present_bench's figures on X11: {name: (real us, CPU us)}
    session = XSession(None, (3840, 2160))
    try:
        out = subprocess.run([os.path.join(build, "present_bench"), "--benchmark_filter=ShipFrame|Present/474/",
                              "--benchmark_format=json"], env=dict(session.env, QUILLFANE_SCALE=str(scale)),
                             capture_output=True, text=True).stdout
    finally:
        session.close()
    return {bench["name"]: (bench["real_time"], bench["cpu_time"]) for bench in json.loads(out)["benchmarks"]}


def main():
    ensure_packages("xvfb", "openbox", "xdotool", "x11-utils", "linux-perf", "sway", "wtype", "grim")
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-test")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    results = {"sway": [], "X11": []}
    for _ in range(rounds):
        # Fresh sessions each round: SDL 2.26 can crash in a game started after the keyboard
        # that last typed in the session has gone.
        sessions = {"sway": WaylandSession(), "X11": XSession()}
        try:
            jobs = []
            for session in sessions.values():
                game = session.spawn([os.path.join(build, "quillfane")])
                jobs.append(functools.partial(measure, session, game, seconds))
            pair = dict(zip(sessions, at_once(jobs)))
        finally:
            for session in sessions.values():
                session.close()
        if None in pair.values():
            sys.exit("a game did not run its whole round")
        for name, figures in pair.items():
            results[name].append(figures)
            print("%-5s %6.1f frames/s; CPU a frame %6.1f us game + %6.1f us %s = %6.1f us" % (
                name, figures["rate"], figures["game"], figures["server"],
                "compositor" if name == "sway" else "X server", figures["game"] + figures["server"]), flush=True)
    rate = {name: sum(figures["rate"] for figures in rounds_figures) / len(rounds_figures)
            for name, rounds_figures in results.items()}
    print("mean frames/s: sway %.1f, X11 %.1f; sway/X11 = %.2f (goal: at least 0.90)" % (
        rate["sway"], rate["X11"], rate["sway"] / rate["X11"]))
    scale_1 = present_cost(build, 1)
    scale_2 = present_cost(build, 2)
    for name in scale_1:
        print("X11 %-30s scale 1: %7.1f us (CPU %6.1f us), scale 2: %7.1f us (CPU %6.1f us)" % (
            name, *scale_1[name], *scale_2[name]))


if __name__ == "__main__":
    main()
