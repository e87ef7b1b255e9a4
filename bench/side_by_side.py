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
import functools
import glob
import os
import re
import subprocess
import sys
import threading
import time

from e2e_path import ROOT, ensure_packages
from x11 import XSession

CPU = max(os.sched_getaffinity(0))  # the one the programs share


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


def measure(session, argv, title, seconds):
    """One program for that long with the keys played: a dict of its figures."""
    proc = session.spawn(["taskset", "-c", str(CPU)] + argv)
    for task in os.listdir("/proc/%d/task" % session.xvfb.pid):
        os.sched_setaffinity(int(task), {CPU})
    window = session.find(title)
    if not window:
        sys.exit("%s: no window titled %r" % (argv[0], title))
    session.xdo("windowactivate --sync %d" % window.id)
    time.sleep(1)  # past start-up
    session.key_down("Left")
    session.key_down("Up")
    # perf counts for exactly as long as its sleep runs; the CPU is read just outside that,
    # so each side is taken as a rate over its own interval.
    began = time.monotonic()
    program_began = cpu_ns(proc.pid)
    server_began = cpu_ns(session.xvfb.pid)
    switches_began = voluntary_switches(proc.pid)
    perf = subprocess.Popen(["perf", "stat", "-e", "syscalls:sys_enter_clock_nanosleep", "-p", str(proc.pid),
                             "--", "sleep", str(seconds)], stderr=subprocess.PIPE, text=True)
    while perf.poll() is None:
        session.key_down("space")
        time.sleep(0.05)
        session.key_up("space")
        time.sleep(0.15)
    wall = time.monotonic() - began
    program_ns = cpu_ns(proc.pid) - program_began
    server_ns = cpu_ns(session.xvfb.pid) - server_began
    switches = voluntary_switches(proc.pid) - switches_began
    counted = perf.communicate()[1]
    session.key_up("Up")
    session.key_up("Left")
    proc.terminate()
    proc.wait(5)
    count = re.search(r"^\s*([\d,]+)\s+syscalls:sys_enter_clock_nanosleep", counted, re.M)
    elapsed = re.search(r"([\d.]+) seconds time elapsed", counted)
    if not count or not elapsed:
        sys.exit("perf counted nothing:\n" + counted)
    frames = int(count.group(1).replace(",", "")) * wall / float(elapsed.group(1))  # frames in the CPU interval
    return dict(frames=frames, wall=wall, program=program_ns / frames / 1e3, xserver=server_ns / frames / 1e3,
                switches=switches / frames)


def cpu_a_frame(figures):
    """In microseconds, the program's own and the X server's."""
    return figures["program"] + figures["xserver"]


def at_once(jobs):
    """Calls the functions in jobs each on a thread of its own, all at the same time: their results in order,
    None for one that ended without a result (as sys.exit on a thread ends only that thread)."""
    results = [None] * len(jobs)

    def run(index):
        results[index] = jobs[index]()

    threads = [threading.Thread(target=run, args=(index,)) for index in range(len(jobs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return results


def main():
    ensure_packages("xvfb", "openbox", "xdotool", "x11-utils", "linux-perf")
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-test")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    programs = [("reference", [os.path.join(build, "reference_loop")], "Reference loop"),
                ("game", [os.path.join(build, "quillfane")], "Quillfane")]
    began = time.monotonic()
    for _ in range(100):
        time.sleep(0.01)
    sleep_took = (time.monotonic() - began) / 100  # what a 10 ms sleep takes on this machine now
    # Both run at once, each in its own X session, so that whatever else the machine does
    # weighs on both alike; the sessions change sides every round.
    sessions = [XSession(), XSession()]
    results = {name: [] for name, _, _ in programs}
    try:
        for round_ in range(rounds):
            jobs = [functools.partial(measure, sessions[(side + round_) % 2], argv, title, seconds)
                    for side, (_, argv, title) in enumerate(programs)]
            pair = at_once(jobs)
            if None in pair:
                sys.exit("a program did not run its whole round")
            for (name, _, _), figures in zip(programs, pair):
                results[name].append(figures)
                # Each frame is a 10 ms sleep plus the frame's own work and its wait on the X server.
                expected = figures["wall"] / (sleep_took + cpu_a_frame(figures) * 1e-6)
                print("%-9s  %5.0f frames in %.1f s (%.0f expected by the wall time, %+.1f%%), "
                      "%.2f ms a frame, %.1f voluntary switches a frame: CPU a frame %6.1f us program + "
                      "%6.1f us X server = %6.1f us" % (
                          name, figures["frames"], figures["wall"], expected, 100 * (figures["frames"] / expected - 1),
                          1e3 * figures["wall"] / figures["frames"], figures["switches"], figures["program"],
                          figures["xserver"], cpu_a_frame(figures)), flush=True)
    finally:
        for session in sessions:
            session.close()
    mean = {name: sum(map(cpu_a_frame, rounds_figures)) / len(rounds_figures)
            for name, rounds_figures in results.items()}
    # Each round's game against the reference measured at the same time.
    ratios = sorted(cpu_a_frame(game) / cpu_a_frame(reference)
                    for reference, game in zip(results["reference"], results["game"]))
    print("a 10 ms sleep took %.2f ms" % (1e3 * sleep_took))
    print("mean CPU a frame: reference %.1f us, game %.1f us; game/reference = %.2f" % (
        mean["reference"], mean["game"], mean["game"] / mean["reference"]))
    print("game/reference by round: %s; median %.2f (goal: at most 1.1)" % (
        " ".join("%.2f" % ratio for ratio in ratios), ratios[len(ratios) // 2]))


if __name__ == "__main__":
    main()
