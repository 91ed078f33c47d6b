"""End-to-end scenario of the breathing-rate test: a real resting rhythm with a breathing of its
own replayed as the sensor, the whole test run with short stages, its five stage records and
its result checked against each other and against the rule that paces each stage; then a start
with --formula resonance trains at the winner."""

import csv
import json
import math
import os
import shutil
import subprocess
import tempfile
import time

from harness import check, tool
from e2e import recording_path, press_and_wait_exit, training_shown, wait_menu, menu_shown

RATES = [6.5, 6.0, 5.5, 5.0, 4.5]
STAGE_SECONDS = 16
BOX_TITLE = "Тест частоты дыхания"


def half_up(x):
    return math.floor(x + 0.5)


def formula_for(heart_rate, rate):
    """The stage's formula: HR / rate beats a cycle (at least 2), 40 % of them breathing in."""
    beats = max(2, half_up(heart_rate / rate))
    inhale = max(1, half_up(0.4 * beats))
    return [inhale, 0, beats - inhale, 0]


def write_replayed(path, intervals):
    """A session record of the program's own: the rhythm, and a breath sensor feeling a
    breath every 10 s (in for 4 s), so the stages have a breath column."""
    with open(path, "w", encoding="ascii") as f:
        f.write("beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath,gap\n")
        ms = 0
        for j, rr in enumerate(intervals):
            ms += rr
            breath = "1" if ms % 10000 < 4000 else "0"
            f.write(f"{j + 1},{ms},{rr},{60000 / rr:.1f},inhale,1,1,,{breath},\n")


def usable_swing(rows):
    """The mean peak-to-trough heart rate per cycle of a record, as the test defines it: usable
    intervals (not the first beat, not a gap's, 300..2000 ms) in the cycle they elapsed in,
    cycles with at least three."""
    cycles = {}
    for before, row in zip(rows, rows[1:]):
        interval = int(row["interval_ms"])
        if row["gap"] == "1" or not 300 <= interval <= 2000:
            continue
        cycles.setdefault(int(before["cycle"]), []).append(60000 / interval)
    swings = [max(r) - min(r) for r in cycles.values() if len(r) >= 3]
    return sum(swings) / len(swings) if swings else None


def dialog(ctx):
    """The window id of the result's message box, or None. (Its title is UTF-8 only, which
    xdotool's search by name does not read.)"""
    tree = subprocess.run([tool("xwininfo"), "-root", "-tree"], env=ctx.display.env(),
                          capture_output=True, text=True, timeout=10).stdout
    for line in tree.splitlines():
        if f'"{BOX_TITLE}"' in line:
            return line.split()[0]
    return None


def scenario_resonance_test(ctx):
    """halvent --resonance --resonance-stage-seconds 16 with a replayed rhythm and breathing:
    the caption shows over the training screen; five stage records each paced by the formula
    the heart rate before it gives, completed, breathing and swinging as the result says; the
    result in the record folder and in resonance.json with five scored rates, a ranking and
    its winner; a box shows it and the menu follows; a new start with --formula resonance
    paces the winner."""
    with open(recording_path(ctx.repo), encoding="ascii") as f:
        intervals = [int(float(v)) for v in f.read().split() if float(v) >= 200]
    folder = tempfile.mkdtemp(prefix="halvent-e2e-resonance-")
    replayed = os.path.join(folder, "replayed.csv")
    records = os.path.join(folder, "records")
    write_replayed(replayed, intervals)
    try:
        app = ctx.launch(args=["--resonance", "--resonance-stage-seconds", str(STAGE_SECONDS),
                               "--sensor", f"replay:{replayed}:loop", "--record", records])
        check(app.poll("measuring", training_shown, 30, interval=0.3) is not None,
              "the test did not open the training screen")
        app.shot("measuring-caption")
        time.sleep(20)
        app.shot("stage-1-caption")

        # Five stages of about 16 s (whole cycles, at least two) and the wait for a pulse.
        box = None
        deadline = time.monotonic() + 260
        while time.monotonic() < deadline and box is None:
            check(app.alive(), "the program ended during the test")
            time.sleep(2)
            box = dialog(ctx)
        check(box is not None, "no box showed the result within the test's time")
        ctx.log(f"result box after {app.elapsed():.0f} s")
        app.shot("result-box")
        subprocess.run([tool("xdotool"), "windowfocus", "--sync", box, "key", "Return"],
                       env=ctx.display.env(), timeout=10, capture_output=True)
        for _ in range(50):
            if dialog(ctx) is None:
                break
            time.sleep(0.1)
        check(dialog(ctx) is None, "Enter did not close the result's box")
        check(app.poll("menu-after-test", menu_shown, 10) is not None,
              "the menu did not come back after the result's box")

        # The result, beside the records and in the working folder.
        names = sorted(os.listdir(records))
        results = [n for n in names if n.endswith("-resonance.json")]
        check(len(results) == 1, f"expected one result among the records, found {names}")
        with open(os.path.join(records, results[0]), encoding="utf-8") as f:
            result = json.load(f)
        shutil.copy(os.path.join(records, results[0]), ctx.artifacts)
        with open(os.path.join(app.workdir, "resonance.json"), encoding="utf-8") as f:
            check(json.load(f) == result, "resonance.json differs from the record folder's")
        stages = result["stages"]
        check([s["breaths_per_min"] for s in stages] == RATES,
              f"the stages ran at {[s['breaths_per_min'] for s in stages]}, expected {RATES}")
        check(sorted(s["rank"] for s in stages) == [1, 2, 3, 4, 5],
              f"the ranks {[s['rank'] for s in stages]} are no ranking of five")
        winner = next(s for s in stages if s["rank"] == 1)["breaths_per_min"]
        check(result["winner_breaths_per_min"] == winner,
              f"the winner {result['winner_breaths_per_min']} is not the rate ranked first")

        # Each stage: its own completed record, paced as the heart rate before it gives.
        for stage in stages:
            rate = stage["breaths_per_min"]
            hr = stage["heart_rate_before"]
            check(40 <= hr <= 90, f"{rate}/min: heart rate before {hr} is not the rhythm's")
            want = formula_for(hr, rate)
            check(stage["formula"] == want, f"{rate}/min at {hr:.1f} bpm: formula "
                  f"{stage['formula']}, expected {want}")
            record = os.path.join(records, stage["record"])
            check(os.path.exists(record), f"{rate}/min: no record {stage['record']}")
            with open(record[:-4] + ".json", encoding="utf-8") as f:
                summary = json.load(f)
            with open(record, encoding="utf-8") as f:
                rows = list(csv.DictReader(f))
            shutil.copy(record, ctx.artifacts)
            check(summary["formula"] == want and summary["ended"] == "completed"
                  and summary["cycles_done"] == summary["cycles_planned"] >= 2,
                  f"{rate}/min: summary formula {summary['formula']}, ended {summary['ended']}, "
                  f"cycles {summary['cycles_done']} of {summary['cycles_planned']}")
            cycle_s = sum(want) * 60 / hr
            check(abs(summary["cycles_planned"] * cycle_s - STAGE_SECONDS) <= cycle_s / 2
                  or summary["cycles_planned"] == 2,
                  f"{rate}/min: {summary['cycles_planned']} cycles of {cycle_s:.1f} s")
            check({r["phase"] for r in rows} <= {"inhale", "exhale"},
                  f"{rate}/min: the record paces a pause")
            check(stage["cycles"] >= 1, f"{rate}/min: no cycle was scored")
            swing = usable_swing(rows)
            check(swing is not None and abs(stage["peak_to_trough_bpm"] - swing) < 0.01,
                  f"{rate}/min: swing {stage['peak_to_trough_bpm']}, its record gives {swing}")
            check(stage["low_frequency_ms2"] is not None and stage["low_frequency_ms2"] > 0,
                  f"{rate}/min: no low-frequency power")
            phase = stage["breath_heart_phase_deg"]
            check(phase is not None and -180 < phase <= 180,
                  f"{rate}/min: the breath column gave no phase ({phase})")
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
        log = open(app.log_path, encoding="utf-8", errors="replace").read()
        check("no result was written" not in log, "a finished test was reported as cut short")

        # A new start trains at the winner: the session's formula is the winner's pace at the
        # heart rate of the moment.
        again = os.path.join(folder, "again")
        app = ctx.launch(workdir=app.workdir, args=[
            "--formula", "resonance", "--sensor", f"replay:{replayed}:loop", "--record", again])
        wait_menu(app, "menu-formula-resonance")
        time.sleep(16)  # fifteen beats give the heart rate
        ctx.display.key("space")
        check(app.poll("training-at-winner", training_shown, 5) is not None,
              "Space did not start a session at the winner")
        time.sleep(3)
        ctx.display.key("Return")
        time.sleep(0.5)
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
        with open(os.path.join(again, sorted(os.listdir(again))[-1]), encoding="utf-8") as f:
            formula = json.load(f)["formula"]
        beats = formula[0] + formula[2]
        check(formula[1] == formula[3] == 0 and formula == formula_for(beats * winner, winner)
              and 40 <= beats * winner <= 90,
              f"--formula resonance paced {formula}, not {winner}/min at a resting heart rate")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    ctx.note("; ".join(f"{s['breaths_per_min']}/min {s['formula']} swing "
                       f"{s['peak_to_trough_bpm']:.1f} LF {s['low_frequency_ms2']:.0f} "
                       f"phase {s['breath_heart_phase_deg']:.0f} rank {s['rank']}"
                       for s in stages) + f"; then {formula} at {winner}/min")


SCENARIOS = [
    ("resonance-test", scenario_resonance_test),
]
# Most of its three minutes it waits for beats: it runs beside the short scenarios.
LONG = {"resonance-test"}
