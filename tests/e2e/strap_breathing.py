"""End-to-end scenarios of a strap with a breath sensor: the fake strap's accelerometer feels a
synthetic chest breathing a known way (tests/bluez/chest.py). The program starts the
accelerometer over the measurement-data service, its breath panel turns ready, the training
screen draws the breath ring, and the session record's breath column follows the known
breathing beat by beat. A strap that refuses to start its accelerometer leaves the breath
panel as it starts, with one line on standard error."""

import math
import os
import shutil
import tempfile
import time

from harness import App, check, is_green_text
from beats_under_load import check_breath_word_black, place_rows, recorded
from e2e import (BREATH_WORD, PULSE_WORD, DisplayWithBus, box_px, menu_shown,
                 press_and_wait_exit, recording_path, sensors_ready, training_shown, wait_menu)

PACER_CENTRE = (400, 240)  # (0, 0.2) on the training screen
RING_PX = 57  # the breath ring while breathing in, 0.19 of the screen's height: 57 pixels
SESSION_S = 65  # how long the session runs before Enter halts it


def pixel_difference(p, q):
    return sum(abs(a - b) for a, b in zip(p, q))


def breath_ring_share(image, radius=RING_PX, centre=PACER_CENTRE, angles=90):
    """The share of directions from the pacer's centre in which a line one pixel wide stands
    within a pixel or so of `radius`: a pixel unlike both the pixels 3 px inside and 2 px
    outside it, which are alike. The breath ring while breathing in is such a circle; the
    pacer disc's edge at the same radius is a step, and the ornaments cross it in a few
    directions only (a tenth at most without the ring)."""
    cx, cy = centre
    found = 0
    for k in range(angles):
        a = 2 * math.pi * (k + 0.5) / angles

        def at(r):
            return image.px(round(cx + r * math.cos(a)), round(cy - r * math.sin(a)))

        for r in (radius - 1.5, radius - 1, radius - 0.5, radius, radius + 0.5, radius + 1):
            p, inner, outer = at(r), at(r - 3), at(r + 2)
            if (pixel_difference(p, inner) >= 40 and pixel_difference(p, outer) >= 40
                    and pixel_difference(inner, outer) <= 30):
                found += 1
                break
    return found / angles


def program_lines(app):
    """What the program itself wrote to its standard error (its lines start "halvent:")."""
    with open(app.log_path, encoding="utf-8", errors="replace") as f:
        return [line.rstrip("\n") for line in f if line.startswith("halvent:")]


def in_order(events, names):
    """Whether `names` occur among the fake's events in this order."""
    at = 0
    for name in names:
        if name not in events[at:]:
            return False
        at = events.index(name, at) + 1
    return True


def scenario_sensor_strap_breathing(ctx):
    """A strap with an accelerometer on a chest breathing 6 a minute (in 4 s, out 4.5 s) with
    a stretch at 15 a minute: the program starts the accelerometer (settings asked, 100 Hz
    chosen), both sensor panels read ready, a session shows the breath ring, and the session
    record's breath column agrees with the known breathing on at least 85 % of the beats.
    Esc stops the accelerometer and lets the strap go."""
    from fake_strap import FakeStrap  # noqa: E402 (needed by this scenario only)

    recording = recording_path(ctx.repo)
    strap = FakeStrap("breathing", recording, ctx.artifacts)
    records = tempfile.mkdtemp(prefix="halvent-e2e-records-")
    try:
        app = App(DisplayWithBus(ctx.display, strap.address), ctx.binary, ctx.repo,
                  ctx.artifacts, log_name="halvent-breathing.log",
                  args=["--sensor", "ble", "--record", records])
        app.log = ctx.log
        ctx.apps.append(app)
        app.start()
        wait_menu(app, "menu")
        check(strap.wait_for("notifying", 20), "the strap was never asked to notify")
        check(strap.wait_for("pmd-first-frame", 10),
              "the program did not start the strap's accelerometer (see fake-bluez.txt)")
        check(in_order(strap.events(), ["notifying", "pmd-control-notifying",
                                        "pmd-data-notifying", "pmd-settings", "pmd-start"]),
              "the accelerometer was not started as the client should: heart rate, both "
              "notifications of the measurement data, settings, start (see fake-bluez.txt)")
        # Ready after two breaths or three (10 s each) of the stream.
        image = app.poll("sensors-ready", sensors_ready, 50, interval=0.5)
        check(image is not None, "the breath and pulse panels did not both read ready")
        ready_at = app.elapsed()
        ctx.display.key("space")
        check(app.poll("training-started", training_shown, 5) is not None,
              "Space did not start the session")
        session_began = time.monotonic()
        # The ring stands outside the disc while the chest breathes in and the pacer breathes
        # out or pauses; the two drift against each other, so this may take some breaths.
        ring = app.poll("breath-ring", lambda img: breath_ring_share(img) >= 0.5,
                        SESSION_S - 5, interval=0.3)
        check(ring is not None, f"the training screen drew no breath ring in {SESSION_S - 5} s")
        share = breath_ring_share(ring)
        time.sleep(max(0.0, SESSION_S - (time.monotonic() - session_began)))
        ctx.display.key("Return")
        check(app.poll("menu-after-halt", menu_shown, 5, interval=0.3) is not None,
              "Enter did not halt the session")
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
        check(strap.wait_for("disconnected-by-client", 2),
              "the strap the program connected was not let go at the end")
        events = strap.events()
        check("pmd-stop" in events, "the accelerometer was not told to stop at the end")
        stopped = [e for e in ("pmd-control-stop-notify", "pmd-data-stop-notify") if e in events]
        complaints = program_lines(app)
        check(not complaints, f"the program complained of a good strap: {complaints}")
    finally:
        strap.stop()

    with open(strap.events_path, encoding="utf-8") as f:
        sent = [line.split() for line in f if line.startswith("rr ")]
    intervals = [float(fields[1]) for fields in sent]
    breathing_in = [fields[3] for fields in sent]
    rows, _ = recorded(records)
    shutil.copy(os.path.join(records, sorted(os.listdir(records))[0]), ctx.artifacts)
    shutil.rmtree(records, ignore_errors=True)
    check(len(rows) >= 40, f"only {len(rows)} beats were recorded in {SESSION_S} s")
    worst, places = place_rows(rows, intervals)
    told = [(row["breath"], breathing_in[k]) for row, k in zip(rows, places)
            if row["breath"] in ("0", "1")]
    check(len(told) >= 0.8 * len(rows),
          f"only {len(told)} of {len(rows)} beats were recorded with the breath "
          f"(the breath sensor was not ready for the others)")
    agreeing = sum(1 for shown, known in told if shown == known)
    with open(os.path.join(ctx.artifacts, "breath-by-beat.txt"), "w", encoding="utf-8") as f:
        f.write("row, sensor beat, interval ms, recorded breath, known breath\n")
        for n, (row, k) in enumerate(zip(rows, places)):
            mark = "" if row["breath"] == breathing_in[k] else "  <- differs"
            f.write(f"{n + 1:4} {k:4} {row['interval_ms']:>6} {row['breath'] or '-':>2} "
                    f"{breathing_in[k]:>2}{mark}\n")
    check(agreeing >= 0.85 * len(told),
          f"the recorded breath agrees with the known breathing on {agreeing} of {len(told)} "
          f"beats ({agreeing / len(told):.0%}; see breath-by-beat.txt)")
    ctx.note(f"both panels ready {ready_at:.1f} s after start; breath ring on "
             f"{share:.0%} of its circle; {len(rows)} beats recorded (intervals within "
             f"{worst:.2f} ms), {len(told)} with the breath, which agrees with the known "
             f"breathing on {agreeing} ({agreeing / len(told):.1%}); at the end: pmd-stop, "
             f"{', '.join(stopped) or 'no StopNotify'}")


def scenario_sensor_strap_breath_refused(ctx):
    """A strap whose accelerometer answers the start with an error: the pulse reads ready,
    the breath panel keeps its start-up word (black), and the program says so in one line."""
    from fake_strap import FakeStrap  # noqa: E402 (needed by this scenario only)

    strap = FakeStrap("breath-refused", recording_path(ctx.repo), ctx.artifacts)
    try:
        app = App(DisplayWithBus(ctx.display, strap.address), ctx.binary, ctx.repo,
                  ctx.artifacts, log_name="halvent-refused.log", args=["--sensor", "ble"])
        app.log = ctx.log
        ctx.apps.append(app)
        app.start()
        wait_menu(app, "menu")
        check(strap.wait_for("pmd-start-refused", 20),
              "the program did not ask the strap to start its accelerometer")
        image = app.poll("pulse-ready", lambda img: img.count(*box_px(PULSE_WORD),
                                                                is_green_text) >= 30, 15)
        check(image is not None, "the pulse panel did not read ready while the strap sends")
        time.sleep(3.0)  # a late change of the breath status would show by now
        image = app.shot("breath-still-starting")
        check_breath_word_black(image, "refused accelerometer")
        green = image.count(*box_px(BREATH_WORD), is_green_text)
        check(green == 0, f"the breath panel reads ready ({green} green px) though the strap "
                          f"refused its accelerometer")
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
        check(strap.wait_for("disconnected-by-client", 2),
              "the strap the program connected was not let go at the end")
    finally:
        strap.stop()
    complaints = program_lines(app)
    check(len(complaints) == 1,
          f"expected one line on the refused accelerometer, the program wrote {complaints}")
    check("pmd-first-frame" not in strap.events(), "the strap sent data it was refused")
    ctx.note(f"the program said: {complaints[0]}")


# Both run in turn with the short scenarios, not beside them as the long sessions do: a fourth
# program starting beside those three slowed a whole session's opening zoom past its limit
# on two cores.
SCENARIOS = [
    ("sensor-strap-breathing", scenario_sensor_strap_breathing),
    ("sensor-strap-breath-refused", scenario_sensor_strap_breath_refused),
]
