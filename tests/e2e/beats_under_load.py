"""End-to-end scenarios of beats on a busy machine (busy loops beside the program): a strap
that sends in 3 s batches with jitter, loses skin contact and its link, and a recording
replayed. Every interval the session record keeps is one the sensor sent, equal to it within
1 ms and in its order; only a beat after a gap may follow a stretch of beats not shown."""

import csv
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from harness import App, check, is_green_text
from e2e import (BREATH_WORD, PULSE_WORD, DisplayWithBus, box_px, press_and_wait_exit,
                 recording_path, training_shown, wait_menu)


class BusyLoops:
    """Processes that spin on the CPU beside the program, one per core, as other work would."""

    def __init__(self, count=2):
        self.processes = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                          for _ in range(count)]

    def stop(self):
        for process in self.processes:
            process.terminate()
            process.wait(5)


def is_red_text(p):
    return p[0] >= 150 and p[1] <= 70 and p[2] <= 70


def check_breath_word_black(image, what):
    """A source without a breath sensor keeps the panel's start-up word, black, on every
    start (it used to depend on whether the first status or the first frame came first)."""
    red = image.count(*box_px(BREATH_WORD), is_red_text)
    check(red == 0, f"{what}: the breath panel's start-up word is red ({red} px)")


def recorded(folder):
    """The rows of the one session record in `folder` and its summary."""
    names = sorted(n for n in os.listdir(folder) if n.endswith(".csv"))
    check(len(names) == 1, f"expected one session record, found {names}")
    with open(os.path.join(folder, names[0]), encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    with open(os.path.join(folder, names[0][:-4] + ".json"), encoding="utf-8") as f:
        summary = json.load(f)
    return rows, summary


def match_intervals(rows, sent):
    """Finds the rows' intervals among the sensor's, in order. The rows from one gap's beat
    (or the first) to the next follow the sensor's beats one by one; only a gap's beat may come
    after sensor beats that were not shown. Returns the worst difference (ms); fails when a
    stretch of rows is no run of the sensor's intervals after the stretch before."""
    return place_rows(rows, sent)[0]


def place_rows(rows, sent):
    """As match_intervals; returns the worst difference (ms) and, for each row, the index of
    the sensor's beat it is."""
    stretches = []
    for n, row in enumerate(rows):
        if n == 0 or row["gap"] == "1":
            stretches.append([])
        stretches[-1].append(int(row["interval_ms"]))
    worst = 0.0
    places = []
    j = 0
    for stretch in stretches:
        k = next((k for k in range(j, len(sent) - len(stretch) + 1)
                  if all(abs(sent[k + i] - v) <= 1.0 for i, v in enumerate(stretch))), None)
        check(k is not None, f"the rows {stretch[:5]}... are no run of the sensor's intervals "
                             f"after the rows before them (a beat invented or lost)")
        worst = max([worst] + [abs(sent[k + i] - v) for i, v in enumerate(stretch)])
        places.extend(range(k, k + len(stretch)))
        j = k + len(stretch)
    return worst, places


def scenario_strap_batched_under_load(ctx):
    """A strap sending every 3 s give or take 0.25 s, beside busy loops: the pulse turns
    ready once the link knows the batching; a session keeps every beat with the strap's own
    interval across a contact loss and a reconnect (the first beat after each marked a gap
    and left out of the figures), and Esc lets the strap go."""
    from fake_strap import FakeStrap  # noqa: E402 (needed by this scenario only)

    recording = recording_path(ctx.repo)
    records = tempfile.mkdtemp(prefix="halvent-e2e-records-")
    strap = FakeStrap("batched-3", recording, ctx.artifacts)
    busy = BusyLoops()
    try:
        app = App(DisplayWithBus(ctx.display, strap.address), ctx.binary, ctx.repo,
                  ctx.artifacts, log_name="halvent-batched.log",
                  args=["--sensor", "ble", "--record", records])
        app.log = ctx.log
        ctx.apps.append(app)
        app.start()
        check_breath_word_black(wait_menu(app, "menu"), "strap")
        check(strap.wait_for("notifying", 20), "the strap was never asked to notify")
        image = app.poll("pulse-ready", lambda img: img.count(*box_px(PULSE_WORD),
                                                                is_green_text) >= 30, 25)
        check(image is not None, "the pulse panel did not read ready while the strap sends")
        ctx.display.key("space")
        check(app.poll("training-started", training_shown, 5) is not None,
              "Space did not start the session")
        check(strap.wait_for("done", 120), "the strap's story did not end")
        time.sleep(4.5)  # the last batch is shown after the delay
        ctx.display.key("Return")
        time.sleep(0.5)
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
        check(strap.wait_for("disconnected-by-client", 2),
              "the strap the program connected was not let go at the end")
    finally:
        busy.stop()
        strap.stop()
    with open(strap.events_path, encoding="utf-8") as f:
        sent = [float(line.split()[1]) for line in f if line.startswith("rr ")]
    rows, summary = recorded(records)
    shutil.copy(os.path.join(records, sorted(os.listdir(records))[0]), ctx.artifacts)
    shutil.rmtree(records, ignore_errors=True)
    check(len(rows) >= 20, f"only {len(rows)} beats were recorded")
    worst = match_intervals(rows, sent)
    gaps = sum(1 for r in rows if r["gap"] == "1")
    # More would mean the strap's 3 s batches were taken for silences.
    check(gaps == 2, f"{gaps} beats marked a gap; the contact loss and the reconnect make two")
    check(summary["beats_left_out"] >= gaps, "a gap's beat counted in the figures")
    ctx.note(f"{len(rows)} beats recorded of {len(sent)} the strap sent, each its interval "
             f"within {worst:.2f} ms; {gaps} after a gap, left out of the figures")


def scenario_replay_under_load(ctx):
    """A recording replayed beside busy loops: every row of the session record is the
    recording's next line, to the millisecond."""
    recording = recording_path(ctx.repo)
    with open(recording, encoding="ascii") as f:
        lines = [float(v) for v in f.read().split() if 200 <= float(v) <= 3000]
    records = tempfile.mkdtemp(prefix="halvent-e2e-records-")
    busy = BusyLoops()
    try:
        app = ctx.launch(args=["--sensor", "replay:" + recording, "--record", records])
        check_breath_word_black(wait_menu(app, "menu"), "replay")
        ctx.display.key("space")
        check(app.poll("training-started", training_shown, 5) is not None,
              "Space did not start the session")
        time.sleep(40)
        ctx.display.key("Return")
        time.sleep(0.5)
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
    finally:
        busy.stop()
    rows, _ = recorded(records)
    shutil.rmtree(records, ignore_errors=True)
    check(len(rows) >= 25, f"only {len(rows)} beats were recorded in 40 s")
    worst = match_intervals(rows, lines)
    check(all(r["gap"] == "" for r in rows), "a replayed beat was marked a gap")
    ctx.note(f"{len(rows)} beats recorded, each the recording's next line within "
             f"{worst:.2f} ms")


SCENARIOS = [
    ("strap-batched-load", scenario_strap_batched_under_load),
    ("replay-load", scenario_replay_under_load),
]
# They load the machine: they run alone, after the others.
LAST = {"strap-batched-load", "replay-load"}
