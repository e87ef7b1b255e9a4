#!/usr/bin/python3
# The game and the cheapest SDL2 loop that shows motion (reference_loop), under Xvfb and
# openbox, each with Left and Up held and Space tapped every 0.2 s.
# Prints for each the CPU time per frame, its own plus the X server's, and the ratio. The two
# run at the same time, each under its own Xvfb, so that the machine's other load weighs on
# both alike. Both programs and both X servers run on one CPU: where the scheduler spreads
# them over several, wake-ups that cross CPUs swing a round's figures by a third.
# Usage: bench/side_by_side.py [BUILD_DIR [SECONDS [ROUNDS]]]   (build-test/, 10 s, 2 rounds)
#
# CPU time: the first field of /proc/PID/task/*/schedstat, nanoseconds on the CPU (what
# /proc/PID/stat gives as utime+stime, in 10 ms ticks that would swamp a 0.1 ms frame).
# Frames: each frame of either program ends in one 10 ms sleep, so frames are counted as the
# program's clock_nanosleep calls, by a kernel tracepoint (perf stat), which neither stops
# nor slows the program. The count is checked against the frames the wall time allows.
import glob
import os
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CPU = max(os.sched_getaffinity(0))  # the one the programs share
subprocess.run(["bash", "-c", '. "$0/scripts/ensure-packages.sh" && ensure_packages xvfb openbox xdotool '
                "x11-utils python3-xlib linux-perf", ROOT], check=True)
sys.path.insert(0, os.path.join(ROOT, "e2e"))
from run import XSession  # noqa: E402
from Xlib import X, XK  # noqa: E402
from Xlib.ext import xtest  # noqa: E402


def cpu_ns(pid):
    total = 0
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            total += int(open(path).read().split()[0])
        except (OSError, IndexError):  # a thread that has just ended
            pass
    return total


def voluntary_switches(pid):
    return int(re.search(r"voluntary_ctxt_switches:\s*(\d+)", open("/proc/%d/status" % pid).read()).group(1))


def measure(s, argv, title, seconds):
    """One program for that long with the keys played: a dict of its figures."""
    proc = s.spawn(["taskset", "-c", str(CPU)] + argv)
    for task in os.listdir("/proc/%d/task" % s.xvfb.pid):
        os.sched_setaffinity(int(task), {CPU})
    window = s.find(title)
    if not window:
        sys.exit("%s: no window titled %r" % (argv[0], title))
    s.xdo("windowactivate --sync %d" % window.id)
    time.sleep(1)  # past start-up
    key = {name: s.d.keysym_to_keycode(XK.string_to_keysym(name)) for name in ("Left", "Up", "space")}
    for name in ("Left", "Up"):
        xtest.fake_input(s.d, X.KeyPress, key[name])
    s.d.sync()
    # perf counts for exactly as long as its sleep runs; the CPU is read just outside that,
    # so each side is taken as a rate over its own interval.
    began, cpu0, x0, v0 = time.monotonic(), cpu_ns(proc.pid), cpu_ns(s.xvfb.pid), voluntary_switches(proc.pid)
    perf = subprocess.Popen(["perf", "stat", "-e", "syscalls:sys_enter_clock_nanosleep", "-p", str(proc.pid),
                             "--", "sleep", str(seconds)], stderr=subprocess.PIPE, text=True)
    while perf.poll() is None:
        xtest.fake_input(s.d, X.KeyPress, key["space"])
        s.d.sync()
        time.sleep(0.05)
        xtest.fake_input(s.d, X.KeyRelease, key["space"])
        s.d.sync()
        time.sleep(0.15)
    wall, cpu1, x1, v1 = time.monotonic() - began, cpu_ns(proc.pid), cpu_ns(s.xvfb.pid), voluntary_switches(proc.pid)
    counted = perf.communicate()[1]
    for name in ("Up", "Left"):
        xtest.fake_input(s.d, X.KeyRelease, key[name])
    s.d.sync()
    proc.terminate()
    proc.wait(5)
    count = re.search(r"^\s*([\d,]+)\s+syscalls:sys_enter_clock_nanosleep", counted, re.M)
    elapsed = re.search(r"([\d.]+) seconds time elapsed", counted)
    if not count or not elapsed:
        sys.exit("perf counted nothing:\n" + counted)
    frames = int(count.group(1).replace(",", "")) * wall / float(elapsed.group(1))  # frames in the CPU interval
    return dict(frames=frames, wall=wall, program=(cpu1 - cpu0) / frames / 1e3, xserver=(x1 - x0) / frames / 1e3,
                switches=(v1 - v0) / frames)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-test")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    programs = [("reference", [os.path.join(build, "reference_loop")], "Reference loop"),
                ("game", [os.path.join(build, "quillfane")], "Quillfane")]
    began = time.monotonic()
    for _ in range(100):
        time.sleep(0.01)
    sleep = (time.monotonic() - began) / 100  # what a 10 ms sleep takes on this machine now
    # Both run at once, each in its own X session, so that whatever else the machine does
    # weighs on both alike; the sessions change sides every round.
    sessions, results = [XSession(), XSession()], {name: [] for name, _, _ in programs}
    try:
        for round_ in range(rounds):
            pair = [None, None]
            threads = [threading.Thread(target=lambda i=i: pair.__setitem__(i, measure(
                sessions[(i + round_) % 2], *programs[i][1:], seconds))) for i in range(2)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            for (name, _, _), r in zip(programs, pair):
                results[name].append(r)
                # Each frame is a 10 ms sleep plus the frame's own work and its wait on the X server.
                expected = r["wall"] / (sleep + (r["program"] + r["xserver"]) * 1e-6)
                print("%-9s  %5.0f frames in %.1f s (%.0f expected by the wall time, %+.1f%%), "
                      "%.2f ms a frame, %.1f voluntary switches a frame: CPU a frame %6.1f us program + "
                      "%6.1f us X server = %6.1f us" % (
                          name, r["frames"], r["wall"], expected, 100 * (r["frames"] / expected - 1),
                          1e3 * r["wall"] / r["frames"], r["switches"], r["program"], r["xserver"],
                          r["program"] + r["xserver"]), flush=True)
    finally:
        for s in sessions:
            s.close()
    mean = {name: sum(r["program"] + r["xserver"] for r in rs) / len(rs) for name, rs in results.items()}
    # Each round's game against the reference measured at the same time.
    ratios = sorted((g["program"] + g["xserver"]) / (r["program"] + r["xserver"])
                    for r, g in zip(results["reference"], results["game"]))
    print("a 10 ms sleep took %.2f ms" % (1e3 * sleep))
    print("mean CPU a frame: reference %.1f us, game %.1f us; game/reference = %.2f" % (
        mean["reference"], mean["game"], mean["game"] / mean["reference"]))
    print("game/reference by round: %s; median %.2f (goal: at most 1.1)" % (
        " ".join("%.2f" % r for r in ratios), ratios[len(ratios) // 2]))


if __name__ == "__main__":
    main()
