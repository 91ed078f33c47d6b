#!/usr/bin/env python3
"""The real program on a virtual display (Xvfb), beside the floor program (its window and
background mesh alone), taken in turns: time to the first frame, CPU share of the still menu
and of a session at the normal pace, the delay from a heartbeat to the frame that shows its
pacer step, and peak memory; also unpaced frame times of a session. Buffer swaps, frame starts
and beats are stamped by the preloaded swap probe, so the program is run as shipped. Prints
markdown tables and writes them to --out (and the rows against the floor to --floor-out)."""

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

    def stamps(self, kind):
        return sorted(int(line.split()[1]) for line in self.probe_file.read_text().splitlines()
                      if line.startswith(kind + " "))

    def swaps(self):
        return self.stamps("swap")

    def beat_delays_ms(self, start_ns, end_ns):
        """For each beat posted inside the window: to the end of the swap of the first frame
        begun after it (the first that can show its pacer step)."""
        clears, swaps = self.stamps("clear"), self.stamps("swap")
        delays = []
        for beat in self.stamps("beat"):
            if not start_ns <= beat <= end_ns:
                continue
            clear = next((c for c in clears if c > beat), None)
            swap = next((t for t in swaps if clear is not None and t > clear), None)
            if swap is not None:
                delays.append((swap - beat) / 1e6)
        return delays


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


def floor_row(what, value, floor, ratio, goal):
    return f"| {what} | {value} | {floor} | {ratio:.2f} | {goal} |"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", type=Path, required=True)
    parser.add_argument("--floor", type=Path, required=True, help="the floor program")
    parser.add_argument("--probe", type=Path, required=True)
    parser.add_argument("--img", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=7, help="starts timed to the first frame")
    parser.add_argument("--seconds", type=float, default=10.0,
                        help="seconds of each measured stretch (session: in two turns)")
    parser.add_argument("--recording", type=Path,
                        help="RR intervals to replay for the beat delays: beats at every phase "
                             "of the frame pace (the simulated device's fall at one per run)")
    parser.add_argument("--out", type=Path)
    parser.add_argument("--floor-out", type=Path)
    args = parser.parse_args()
    args.program, args.probe = args.program.resolve(), args.probe.resolve()
    program = args.program
    floor_program = args.floor.resolve()

    timing, figures, notes, against = [], [], [], []
    display = VirtualDisplay()
    with tempfile.TemporaryDirectory(prefix="halvent-bench-") as scratch:
        folder = Path(scratch)
        (folder / "img").symlink_to(args.img.resolve())
        (folder / "menu.cfg").write_bytes(b"00000000")
        try:
            # Time to the first frame: process start to the end of the first buffer swap,
            # the program and the floor in turns.
            starts = {"halvent": [], "floor": [], "windowed": []}
            for _ in range(args.runs):
                for name, binary, extra in (("halvent", program, []), ("floor", floor_program, []),
                                            ("windowed", program, ["--windowed"])):
                    args.program = binary
                    run = Run(args, display, folder, extra)
                    starts[name].append((run.first_frame_ns() - run.started) / 1e6)
                    run.end("term")
            args.program = program
            timing.append(row("process start -> first frame swapped, full screen", starts["halvent"],
                              f"{args.runs} starts, default pace"))
            timing.append(row("the same, floor program", starts["floor"], f"{args.runs} starts"))
            timing.append(row("process start -> first frame swapped, --windowed", starts["windowed"],
                              f"{args.runs} starts"))
            start_h, start_f = statistics.median(starts["halvent"]), statistics.median(starts["floor"])
            against.append(floor_row("start -> first frame, full screen (median)",
                                     f"{start_h:.0f} ms", f"{start_f:.0f} ms", start_h / start_f,
                                     f"<= floor + 60 ms (here floor {start_h - start_f:+.0f} ms)"))

            # Unpaced frame times of a session started with Space.
            run = Run(args, display, folder, ["--fps", "0"])
            run.first_frame_ns()
            time.sleep(1.0)
            space = time.monotonic_ns()
            run.key("space")
            time.sleep(4.0)
            done = time.monotonic_ns()
            run.end()
            session = intervals_between(run.swaps(), space + 500_000_000, done)
            timing.append(row("frame, training screen (--fps 0)", session,
                              f"swap to swap, {1000 / statistics.median(session):.0f} frames/s, "
                              "a few beats in the graph"))
            if run.status != 1:
                raise SystemExit(f"program_bench: Esc ended the program with {run.status}")

            # The still menu at the normal pace, once its zoom and fades have settled.
            run = Run(args, display, folder, [])
            run.first_frame_ns()
            time.sleep(7.0)
            wall0, cpu0 = time.monotonic_ns(), run.cpu_seconds()
            time.sleep(args.seconds)
            wall1, cpu1 = time.monotonic_ns(), run.cpu_seconds()
            run.end()
            wall = (wall1 - wall0) / 1e9
            drawn = len([t for t in run.swaps() if wall0 <= t <= wall1]) / wall
            idle = 100 * (cpu1 - cpu0) / wall
            figures.append(f"| CPU share of halvent, still menu at the normal pace | {idle:.1f} % of one "
                           f"core | {wall:.1f} s, {drawn:.1f} frames drawn a second (the status words' "
                           "beat flashes) |")

            # Sessions at the normal pace, the program and the floor in turns: CPU share,
            # peak memory, and the program's beats to the frames that show them.
            shares = {"halvent": [], "floor": []}
            peaks = {"halvent": [], "floor": []}
            delays, rates = [], []
            for _ in range(2):
                for name, binary in (("halvent", program), ("floor", floor_program)):
                    args.program = binary
                    run = Run(args, display, folder, [])
                    run.first_frame_ns()
                    time.sleep(1.0)
                    if name == "halvent":
                        run.key("space")
                    time.sleep(1.0)
                    wall0, cpu0 = time.monotonic_ns(), run.cpu_seconds()
                    time.sleep(args.seconds / 2)
                    wall1, cpu1 = time.monotonic_ns(), run.cpu_seconds()
                    run.end("Escape" if name == "halvent" else "term")
                    shares[name].append(100 * (cpu1 - cpu0) / ((wall1 - wall0) / 1e9))
                    peaks[name].append(run.rusage.ru_maxrss / 1024)
                    if name == "halvent":
                        delays += run.beat_delays_ms(wall0, wall1)
                        paced = intervals_between(run.swaps(), wall0, wall1)
                        rates.append(1000 / statistics.median(paced))
            args.program = program
            beat_source = "the simulated device's beats, stamped as it posts them"
            if args.recording:
                # A beat every 1000 ms meets the 60 Hz pace at one phase per run; a real
                # recording's beats come at all of them.
                delays, beat_source = [], (f"beats of {args.recording.name} replayed, stamped as "
                                           "brix posts them")
                for _ in range(2):
                    run = Run(args, display, folder,
                              ["--sensor", f"replay:{args.recording.resolve()}:loop"])
                    run.first_frame_ns()
                    time.sleep(1.0)
                    run.key("space")
                    wall0 = time.monotonic_ns()
                    time.sleep(1.5 + args.seconds)  # and the first beat or two of the replay
                    wall1 = time.monotonic_ns()
                    run.end("Escape")
                    delays += run.beat_delays_ms(wall0, wall1)
            share_h, share_f = statistics.median(shares["halvent"]), statistics.median(shares["floor"])
            peak_h, peak_f = max(peaks["halvent"]), max(peaks["floor"])
            figures.append(f"| CPU share of halvent, session at the normal pace | {share_h:.1f} % of one "
                           f"core | two turns of {args.seconds / 2:.0f} s, {min(rates):.1f} frames/s |")
            figures.append(f"| CPU share of the floor program, the same | {share_f:.1f} % of one core | "
                           "in turns with the program |")
            figures.append(f"| peak memory (max RSS): halvent, floor program | {peak_h:.1f} MiB, "
                           f"{peak_f:.1f} MiB | menu, then a session |")
            period = 1000 / 60
            if delays:
                timing.append(row("heartbeat -> frame with the pacer step swapped, normal pace",
                                  delays, beat_source))
            against.append(floor_row("CPU share, still menu at 60 frames/s", f"{idle:.1f} %",
                                     f"{share_f:.1f} % (session)", idle / share_f, "<= 15 %"))
            against.append(floor_row("CPU share, session at 60 frames/s", f"{share_h:.1f} %",
                                     f"{share_f:.1f} %", share_h / share_f, "<= 1.3"))
            if delays:
                against.append(floor_row(
                    "heartbeat -> frame with the pacer step on screen, real program: median (p99)",
                    f"{statistics.median(delays):.1f} ms ({percentile(delays, 99):.1f} ms)", "",
                    statistics.median(delays) / period,
                    f"<= 1 frame median, 2 frames p99; ratio here: median in frames, p99 "
                    f"{percentile(delays, 99) / period:.2f} frames"))
            against.append(floor_row("peak memory", f"{peak_h:.1f} MiB", f"{peak_f:.1f} MiB",
                                     peak_h / peak_f, f"<= floor + 8 MiB (here {peak_h - peak_f:+.1f})"))
        finally:
            display.close()

    text = ("| Real program under Xvfb | median ms | p99 ms | max ms | n | |\n"
            "|---|---:|---:|---:|---:|---|\n" + "\n".join(timing) + "\n\n" +
            ("\n".join(notes) + "\n\n" if notes else "") +
            "| Real program under Xvfb | value | |\n|---|---:|---|\n" + "\n".join(figures) + "\n")
    print(text, end="")
    print("\n".join(against))
    if args.out:
        args.out.write_text(text)
    if args.floor_out:
        args.floor_out.write_text("\n".join(against) + "\n")


if __name__ == "__main__":
    sys.exit(main())
