#!/usr/bin/env python3
"""The Windows program from its ZIP, under Wine on a virtual display, used as a person would:
started as downloaded it opens no box; its menu is compared with the Linux program's picture
of the same moment; a click on "Внешний вид" and two toggles must reach menu.cfg; Space shows
the training screen and Esc ends the program with status 1. Then names outside any code page:
a recording and a record folder with Cyrillic names work, and a problem, when the program was
started as from Explorer (no console), is told in a box. Last, a heart-rate strap (a stand-in
for the system's Bluetooth LE functions) drives the pacer across a contact loss and a dropped
link, and the session record keeps its beats one for one."""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import traceback
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "e2e"))

from harness import App, Display, Failure, check, is_green_text, stop_all_children  # noqa: E402
from e2e import (NEUTRAL, PULSE_WORD, box_px, click_toggle, expect_toggles,  # noqa: E402
                 menu_shown, open_page,
                 press_and_wait_exit, recording_path, sensors_ready, toggle_red_share,
                 training_shown, wait_menu)
from wine_strap import DisplayWithEnv, FakeStrap  # noqa: E402
from beats_under_load import place_rows, recorded  # noqa: E402
from layout import ENTRIES, ENTRY_HALF_HEIGHT, SKIN_DROP, check_page, probe_level  # noqa: E402

WINE_RUN = os.path.join(here, "wine-run.sh")  # the Wine loader this machine can start
BLOCK = 20          # the pictures are compared in blocks of 20 x 20 pixels
BLOCK_LIMIT = 40    # mean colour difference of a block that still counts as the same
SAME_SHARE = 0.85   # share of blocks that must be the same: fonts and rounding differ a little


class WineApp(App):
    """The Windows program, started with Wine in the unpacked package's folder."""

    def __init__(self, *args, launcher=(), **kwargs):
        super().__init__(*args, **kwargs)
        self.launcher = list(launcher)  # e.g. ["start", "/wait"]: started as Explorer would

    def start(self):
        env = self.display.env()
        env["WINEDEBUG"] = "-all"
        env["LANG"] = "C.UTF-8"  # Wine reads the Unix arguments in the locale's encoding
        log = open(self.log_path, "wb")
        self.process = subprocess.Popen(
            [WINE_RUN] + self.launcher + ["halvent.exe"] + self.args, cwd=self.workdir, env=env,
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        log.close()
        self.started = time.monotonic()
        return self


class Context:
    def __init__(self, display, artifacts):
        self.display = display
        self.artifacts = artifacts
        self.notes = []
        self.steps = open(os.path.join(artifacts, "steps.txt"), "w", encoding="utf-8")
        self.began = time.monotonic()

    def log(self, text):
        self.steps.write(f"{time.monotonic() - self.began:7.2f}  {text}\n")
        self.steps.flush()

    def note(self, text):
        self.notes.append(text)
        print(f"  {text}")


def block_means(image):
    means = []
    for y in range(0, image.height, BLOCK):
        for x in range(0, image.width, BLOCK):
            means.append(image.mean(x, y, x + BLOCK, y + BLOCK))
    return means


def compare_pictures(linux, windows):
    """The share of blocks whose mean colours differ by less than BLOCK_LIMIT, and the worst."""
    pairs = list(zip(block_means(linux), block_means(windows)))
    differences = [max(abs(a - b) for a, b in zip(p, q)) for p, q in pairs]
    same = sum(1 for d in differences if d < BLOCK_LIMIT) / len(differences)
    return same, max(differences)


def menu_in_place(image, label):
    """What the design fixes on the opening menu: entries, goal rows, sensor panels."""
    for index, (caption, x, y, half_width) in enumerate(ENTRIES):
        level = probe_level(image, (x, y - 0.6 * ENTRY_HALF_HEIGHT))
        check(level <= -SKIN_DROP, f"{label}: menu entry {index} ('{caption}') shows no skin")
    problems = check_page(image, "Цель")
    check(not problems, f"{label}: " + "; ".join(problems))
    check(sensors_ready(image), f"{label}: the sensor panels do not show 'Готов' in green")


def linux_reference(ctx, linux_binary, repo):
    app = App(ctx.display, linux_binary, repo, ctx.artifacts, log_name="halvent-linux.log")
    app.log = ctx.log
    app.start()
    try:
        image = wait_menu(app, "linux-menu")
        check(app.poll("linux-ready", sensors_ready, 5) is not None,
              "Linux: the sensor panels did not become ready")
        image = app.shot("linux-menu-ready")
        ctx.display.key("Escape")
        app.wait_exit(10)
        return image
    finally:
        app.cleanup()


def windows_session(ctx, package_dir, repo, reference):
    began = time.monotonic()
    # As downloaded: the ZIP's own menu.cfg, and boxes are shown for real.
    check(os.path.exists(os.path.join(package_dir, "menu.cfg")), "the archive lacks menu.cfg")
    app = WineApp(ctx.display, "halvent.exe", repo, ctx.artifacts, settings=None,
                  workdir=package_dir, log_name="halvent-wine.log")
    app.log = ctx.log
    app.start()
    try:
        wait_menu(app, "wine-menu", timeout=60)
        check(not windows_named(ctx, "Error"), "the first start from the ZIP opened an error box")
        ready = app.poll("wine-menu-ready", lambda img: menu_shown(img) and sensors_ready(img), 5)
        check(ready is not None, "Windows: the sensor panels did not become ready (brix.dll)")
        ctx.note(f"the Windows program showed its settled menu {time.monotonic() - began:.1f} s "
                 "after start")
        menu_in_place(ready, "Windows")
        same, worst = compare_pictures(reference, ready)
        ctx.note(f"menu against the Linux picture: {same:.1%} of {BLOCK}x{BLOCK} blocks alike "
                 f"(limit {SAME_SHARE:.0%}), largest block difference {worst:.0f}")
        check(same >= SAME_SHARE, f"the Windows menu differs from the Linux one in "
                                  f"{1 - same:.1%} of its blocks")

        image = open_page(ctx, app, "Внешний вид")
        expect_toggles(image, set(), "Windows, with menu.cfg 00000000")
        click_toggle(ctx, 0)
        click_toggle(ctx, 1)
        image = app.poll("wine-toggles", lambda img: toggle_red_share(img, 1) >= 0.5
                         and toggle_red_share(img, 0) >= 0.5, 5)
        check(image is not None, "Windows: clicking two toggles did not check them")

        # No window manager runs on the virtual display to hand the keyboard to the window, as
        # a desktop does on a click; Wine's pop-up window takes it only when nobody held it.
        ctx.display._run(["xdotool", "search", "--name", "^ZUL$", "windowfocus"])
        ctx.display.move(*NEUTRAL)
        ctx.display.key("space")
        check(app.poll("wine-training", training_shown, 10) is not None,
              "Windows: Space did not show the training screen")
        took = press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"), limit=5.0)
        ctx.note(f"Esc ended the Windows program with status 1 in {took:.2f} s")
        stored = app.read_settings()
        check(stored == b"11000000", f"menu.cfg holds {stored!r}, expected '11000000'")
    finally:
        app.stop()


def windows_named(ctx, name):
    result = ctx.display._run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"],
                              check_rc=False, stdout=subprocess.PIPE)
    return result.stdout.split()


def any_names(ctx, package_dir, repo):
    """A recording and a record folder with Cyrillic names; a problem told in a box."""
    recording = os.path.join(package_dir, "ритм.txt")
    with open(recording, "w", encoding="ascii") as f:
        f.write("\n".join(["1000"] * 40) + "\n")
    app = WineApp(ctx.display, "halvent.exe", repo, ctx.artifacts, settings=None,
                  workdir=package_dir, log_name="halvent-wine-names.log",
                  args=["--sensor", "replay:ритм.txt", "--record", "записи"])
    app.log = ctx.log
    app.start()
    try:
        wait_menu(app, "wine-names-menu", timeout=60)
        ctx.display._run(["xdotool", "search", "--name", "^ZUL$", "windowfocus"])
        ctx.display.move(*NEUTRAL)
        ctx.display.key("space")
        check(app.poll("wine-names-training", training_shown, 10) is not None,
              "Windows, replaying ритм.txt: Space did not show the training screen")
        time.sleep(4)  # a few beats of the recording
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"), limit=5.0)
    finally:
        app.stop()
    folder = os.path.join(package_dir, "записи")
    records = sorted(f for f in os.listdir(folder) if f.endswith(".csv")) \
        if os.path.isdir(folder) else []
    check(records, "no session record was written in the folder 'записи'")
    with open(os.path.join(folder, records[0]), encoding="utf-8") as f:
        rows = [line for line in f.read().splitlines()[1:] if line.strip()]
    check(rows, f"the record {records[0]} holds no beats")
    ctx.note(f"a recording and a record folder with Cyrillic names: {len(rows)} beats recorded")

    # Started as from Explorer, the program has no console: a bad recording is told in a box.
    app = WineApp(ctx.display, "halvent.exe", repo, ctx.artifacts, settings=None,
                  workdir=package_dir, log_name="halvent-wine-box.log",
                  launcher=["start", "/wait"], args=["--sensor", "replay:нет-такого.txt"])
    app.log = ctx.log
    app.start()
    try:
        deadline = time.monotonic() + 30
        while not windows_named(ctx, "halvent") and time.monotonic() < deadline:
            time.sleep(0.2)
        app.shot("wine-problem-box")
        check(windows_named(ctx, "halvent"), "a bad --sensor with no console showed no box")
        ctx.display._run(["xdotool", "search", "--name", "^halvent$", "windowfocus"],
                         check_rc=False)
        ctx.display.key("Return")
        status = app.wait_exit(10)
        check(status == 2, f"after the box the program ended with {status}, expected 2")
        ctx.note("a bad --sensor started as from Explorer: told in a box, status 2")
    finally:
        app.stop()


def strap_session(ctx, package_dir, repo, fake_dll):
    """`--sensor ble` with a paired strap that sends every second from a recording, loses skin
    contact for 6 s and its link for 8 s, and streams its accelerometer: the pulse turns ready,
    the session keeps every beat the strap sent with its own interval (the first after each of
    the two gaps marked) and the breathing, the accelerometer is started again after the drop,
    and the end stops it and lets the strap go. First, without the stand-in, Wine's own
    Bluetooth functions (stubs that end a process calling them) are left alone: one line says
    so, and the program runs on."""
    app = WineApp(ctx.display, "halvent.exe", repo, ctx.artifacts, settings=None,
                  workdir=package_dir, log_name="halvent-wine-no-strap.log",
                  args=["--sensor", "ble"])
    app.log = ctx.log
    try:
        app.start()
        wait_menu(app, "wine-no-strap-menu", timeout=60)
        said = ""
        for _ in range(50):
            with open(app.log_path, encoding="utf-8", errors="replace") as f:
                said = "".join(line for line in f if "Bluetooth:" in line)
            if said:
                break
            time.sleep(0.1)
        check("Wine offers no Bluetooth LE" in said,
              f"without a Bluetooth LE service, the program told {said!r}")
        ctx.display._run(["xdotool", "search", "--name", "^ZUL$", "windowfocus"])
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"), limit=5.0)
        ctx.note("without Bluetooth LE (Wine's own functions): told in one line, the program "
                 "ran on")
    finally:
        app.stop()

    strap = FakeStrap(fake_dll, package_dir, recording_path(repo), ctx.artifacts)
    records = os.path.join(package_dir, "strap-records")
    app = WineApp(DisplayWithEnv(ctx.display, strap.env()), "halvent.exe", repo, ctx.artifacts,
                  settings=None, workdir=package_dir, log_name="halvent-wine-strap.log",
                  args=["--sensor", "ble", "--record", "strap-records"])
    app.log = ctx.log
    try:
        app.start()
        wait_menu(app, "wine-strap-menu", timeout=60)
        check(strap.wait_for("subscribed", 20), "the program never subscribed to the strap")
        ready = app.poll("wine-strap-pulse-ready",
                         lambda img: img.count(*box_px(PULSE_WORD), is_green_text) >= 30, 25)
        check(ready is not None, "Windows: the pulse panel did not read ready while the strap sends")
        ctx.note(f"strap: the pulse read ready {time.monotonic() - app.started:.1f} s after the "
                 "program's start")
        ctx.display._run(["xdotool", "search", "--name", "^ZUL$", "windowfocus"])
        ctx.display.move(*NEUTRAL)
        ctx.display.key("space")
        check(app.poll("wine-strap-training", training_shown, 10) is not None,
              "Windows, with a strap: Space did not show the training screen")
        check(strap.wait_for("done", 90), "the strap's story did not end")
        check(strap.events().count("subscribed") >= 2,
              "the program did not subscribe again after the dropped link")
        check(strap.events().count("pmd-start") >= 2,
              "the accelerometer was not started again after the dropped link")
        time.sleep(4.5)  # the last batch is shown after the delay
        ctx.display.key("Return")
        time.sleep(0.5)
        press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"), limit=5.0)
        events = strap.events()
        check("pmd-stop" in events, "the end did not stop the accelerometer")
        with open(app.log_path, encoding="utf-8", errors="replace") as f:
            told = [line.strip() for line in f if "Bluetooth:" in line]
        check(not told, f"the program told troubles of a working strap: {told}")
        check(events[-2:] in (["unregistered", "unsubscribed"], ["unsubscribed", "unregistered"]),
              f"the end did not let the strap go (its last events: {events[-3:]})")
    finally:
        app.stop()
        strap.remove()
    sent, moments = strap.sent()
    rows, summary = recorded(records)
    check(len(rows) >= 20, f"only {len(rows)} beats were recorded")
    worst, places = place_rows(rows, sent)
    # Each beat shown the same delay after it happened: within a stretch between gaps, the
    # record's time less the beat's moment stays the same.
    spread, stretch = 0.0, []
    for row, place in zip(rows, places):
        if row["gap"] == "1":
            stretch = []
        stretch.append(int(row["ms"]) - moments[place] * 1000)
        spread = max(spread, max(stretch) - min(stretch))
    gaps = sum(1 for r in rows if r["gap"] == "1")
    check(gaps == 2, f"{gaps} beats marked a gap; the contact loss and the reconnect make two")
    check(summary["beats_left_out"] >= gaps, "a gap's beat counted in the figures")
    breathing = sum(1 for r in rows if r["breath"] in ("0", "1"))
    check(breathing >= 5, f"only {breathing} beats carry the strap's breathing")
    ctx.note(f"strap: {breathing} beats with the breathing of its accelerometer")
    ctx.note(f"strap: {len(rows)} beats recorded of {len(sent)} the strap sent, each its "
             f"interval within {worst:.2f} ms; {gaps} after a gap; the delay within each "
             f"stretch varied by {spread:.0f} ms")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("package", help="the Windows ZIP made by CPack")
    parser.add_argument("linux_binary", help="the Linux halvent, for the reference picture")
    parser.add_argument("artifacts", help="folder for screenshots and logs")
    parser.add_argument("--repo", default=os.path.dirname(os.path.dirname(here)))
    parser.add_argument("--fake-bluetooth", help="the stand-in BluetoothApis.dll of the tests")
    options = parser.parse_args()
    os.makedirs(options.artifacts, exist_ok=True)

    display = Display(options.artifacts)
    display.name = os.environ["DISPLAY"]  # the run's own Xvfb, shared with Wine's prefix
    ctx = Context(display, options.artifacts)
    scratch = tempfile.mkdtemp(prefix="halvent-wine-")
    try:
        with zipfile.ZipFile(options.package) as archive:
            archive.extractall(scratch)
        folders = [f for f in os.listdir(scratch) if os.path.isdir(os.path.join(scratch, f))]
        check(len(folders) == 1, f"the archive should hold one folder, holds {folders}")
        package_dir = os.path.join(scratch, folders[0])
        for name in ("halvent.exe", "brix.dll", "README.txt", "img/menu.tga", "img/1.wav"):
            check(os.path.exists(os.path.join(package_dir, name)), f"the archive lacks {name}")

        reference = linux_reference(ctx, options.linux_binary, options.repo)
        windows_session(ctx, package_dir, options.repo, reference)
        any_names(ctx, package_dir, options.repo)
        if options.fake_bluetooth:
            strap_session(ctx, package_dir, options.repo, options.fake_bluetooth)
    except Failure as failure:
        print(f"FAIL: {failure} (screenshots in {options.artifacts})")
        return 1
    except Exception:  # noqa: BLE001 - a broken harness is a failure too, with its trace
        traceback.print_exc()
        return 1
    finally:
        stop_all_children()
        subprocess.run(["rm", "-rf", scratch])
    print("ok: the Windows program under Wine")
    return 0


if __name__ == "__main__":
    sys.exit(main())
