#!/usr/bin/env python3
"""The real program on a virtual display (Xvfb): time to the first frame, unpaced frame times
of the menu and a running session, and peak memory and CPU share during a session at the
normal pace. Buffer swaps are timed by the preloaded swap probe, so the program is run as
shipped. Prints markdown tables and writes them to --out."""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def percentile(values, q):
    """Nearest-rank percentile of a non-empty list."""
    ordered = sorted(values)
    rank = max(1, -(-len(ordered) * q // 100))  # ceil
    return ordered[min(len(ordered), int(rank)) - 1]


class VirtualDisplay:
    """An Xvfb on a free display number, chosen by the server itself (-displayfd)."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise SystemExit("program_bench: Xvfb did not start")
        self.name = ":" + number

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Run:
    """One run of the program in a working folder of its own, with the swap probe loaded."""

    def __init__(self, args, display, folder, extra):
        self.probe_file = folder / "swaps.txt"
        self.probe_file.unlink(missing_ok=True)
        env = dict(os.environ)
        env.update(DISPLAY=display.name, SDL_AUDIODRIVER="dummy", HALVENT_NO_DIALOGS="1",
                   LD_PRELOAD=str(args.probe), HALVENT_PROBE_FILE=str(self.probe_file))
        self.started = time.monotonic_ns()
        self.stderr_file = folder / "stderr.txt"
        with open(self.stderr_file, "wb") as stderr:
            self.process = subprocess.Popen([str(args.program), *extra], cwd=folder, env=env,
                                            stdout=subprocess.DEVNULL, stderr=stderr)
        self.env = env
        self.rusage = None
        self.status = None

    def first_frame_ns(self, timeout=30.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.probe_file.exists():
                for line in self.probe_file.read_text().splitlines():
                    if line.startswith("first "):
                        return int(line.split()[1])
            if self.process.poll() is not None:
                break
            time.sleep(0.002)
        if self.process.poll() is None:
            self.process.kill()
            raise SystemExit("program_bench: no frame was drawn in time")
        raise SystemExit("program_bench: the program ended before its first frame: "
                         + self.stderr_file.read_text(errors="replace"))

    def key(self, name):
        subprocess.run(["xdotool", "key", name], env=self.env, check=True)

    def cpu_seconds(self):
        return cpu_seconds(self.process.pid)

    def end(self, how="Escape", timeout=15.0):
        if how == "term":
            self.process.send_signal(signal.SIGTERM)
        else:
            self.key(how)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            pid, status, rusage = os.wait4(self.process.pid, os.WNOHANG)
            if pid:
                self.status = os.waitstatus_to_exitcode(status)
                self.rusage = rusage
                return
            time.sleep(0.02)
        self.process.kill()
        raise SystemExit("program_bench: the program did not end")

    def swaps(self):
        return [int(line.split()[1]) for line in self.probe_file.read_text().splitlines()
                if line.startswith("swap ")]


def cpu_seconds(pid):
    """User plus system time of a process (all its threads), from /proc."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def intervals_between(swaps, start_ns, end_ns):
    """Frame times in ms of the swaps that fall inside [start, end]."""
    inside = [t for t in swaps if start_ns <= t <= end_ns]
    return [(b - a) / 1e6 for a, b in zip(inside, inside[1:])]


def row(what, values, note):
    return (f"| {what} | {statistics.median(values):.3f} | {percentile(values, 99):.3f} | "
            f"{max(values):.3f} | {len(values)} | {note} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--probe", type=Path, required=True)
    parser.add_argument("--img", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=7, help="starts timed to the first frame")
    parser.add_argument("--seconds", type=float, default=10.0, help="session time for the CPU share")
    parser.add_argument("--out", type=Path)
    args = parser.parse_args()
    args.program, args.probe = args.program.resolve(), args.probe.resolve()

    timing = []
    figures = []
    notes = []
    display = VirtualDisplay()
    with tempfile.TemporaryDirectory(prefix="halvent-bench-") as scratch:
        folder = Path(scratch)
        (folder / "img").symlink_to(args.img.resolve())
        (folder / "menu.cfg").write_bytes(b"00000000")
        try:
            # Time to the first frame: process start to the end of the first buffer swap.
            for extra, what in (([], "full screen"), (["--windowed"], "--windowed")):
                starts = []
                for _ in range(args.runs):
                    run = Run(args, display, folder, extra)
                    starts.append((run.first_frame_ns() - run.started) / 1e6)
                    run.end("term")
                timing.append(row(f"process start -> first frame swapped, {what}", starts,
                                  f"{args.runs} starts, default pace"))

            # Unpaced frame times: the menu, then a session started with Space.
            run = Run(args, display, folder, ["--fps", "0"])
            shown = run.first_frame_ns()
            time.sleep(3.0)
            space = time.monotonic_ns()
            run.key("space")
            time.sleep(4.0)
            done = time.monotonic_ns()
            run.end()
            swaps = run.swaps()
            menu = intervals_between(swaps, shown + 500_000_000, space)
            session = intervals_between(swaps, space + 500_000_000, done)
            timing.append(row("frame, menu (--fps 0)", menu,
                              f"swap to swap, {1000 / statistics.median(menu):.0f} frames/s"))
            timing.append(row("frame, training screen (--fps 0)", session,
                              f"swap to swap, {1000 / statistics.median(session):.0f} frames/s, "
                              "a few beats in the graph"))
            notes.append(f"- median frame, training screen / menu (--fps 0): "
                         f"{statistics.median(session) / statistics.median(menu):.2f}")
            if run.status != 1:
                raise SystemExit(f"program_bench: Esc ended the program with {run.status}")

            # A session at the normal pace: CPU share of the program and of the X server.
            run = Run(args, display, folder, [])
            run.first_frame_ns()
            time.sleep(1.0)
            run.key("space")
            time.sleep(1.0)
            wall0, cpu0, x0 = time.monotonic_ns(), run.cpu_seconds(), cpu_seconds(display.process.pid)
            time.sleep(args.seconds)
            wall1, cpu1, x1 = time.monotonic_ns(), run.cpu_seconds(), cpu_seconds(display.process.pid)
            run.end()
            wall = (wall1 - wall0) / 1e9
            paced = intervals_between(run.swaps(), wall0, wall1)
            figures.append(f"| CPU share of halvent, session at the normal pace | "
                           f"{100 * (cpu1 - cpu0) / wall:.1f} % of one core | "
                           f"{wall:.1f} s, {1000 / statistics.median(paced):.1f} frames/s, "
                           f"frame p99 {percentile(paced, 99):.1f} ms |")
            figures.append(f"| CPU share of Xvfb meanwhile | {100 * (x1 - x0) / wall:.1f} % of one core | "
                           "the X server copying the frames |")
            figures.append(f"| peak memory (max RSS) of halvent | {run.rusage.ru_maxrss / 1024:.1f} MiB | "
                           f"menu, then {args.seconds + 1:.0f} s of a session |")
        finally:
            display.close()

    text = ("| Real program under Xvfb | median ms | p99 ms | max ms | n | |\n"
            "|---|---:|---:|---:|---:|---|\n" + "\n".join(timing) + "\n\n" + "\n".join(notes) + "\n\n"
            "| Real program under Xvfb | value | |\n|---|---:|---|\n" + "\n".join(figures) + "\n")
    print(text, end="")
    if args.out:
        args.out.write_text(text)


if __name__ == "__main__":
    sys.exit(main())
