"""End-to-end scenarios of screens other than 800 x 600, the ways the program is ended from
outside (signals, a lost window or display), and the volume heard from the start."""

import copy
import os
import signal
import subprocess
import time

from harness import (App, Display, Image, _started, check, is_black, is_white,
                     onsets, peaks, read_wave, tool, menu_px, AUDIO_RATE)
from e2e import (NEUTRAL, click_toggle, drawing, find_dialog_button, open_page,
                 press_and_wait_exit, toggle_red_share, training_shown, wait_menu)

PICTURE_W, PICTURE_H = 800, 600


class PictureView:
    """A display seen through the program's 4:3 picture: screenshots come back as the
    800 x 600 picture (cut out of the screen and scaled), and pointer positions are given in
    picture pixels and land where that picture is drawn on the screen. So the scenarios
    written for an 800 x 600 screen run unchanged on any screen."""

    def __init__(self, display, area, origin=(0, 0)):
        self.display = display
        self.area = area  # (x, y, width, height) in the window's pixels
        self.origin = origin  # the window's top-left corner on the screen
        self.name = display.name
        self.last_screen = None

    def env(self):
        return self.display.env()

    def to_screen(self, x, y):
        ax, ay, aw, ah = self.area
        return (self.origin[0] + ax + x * aw / PICTURE_W,
                self.origin[1] + ay + y * ah / PICTURE_H)

    def move(self, x, y):
        self.display.move(*self.to_screen(x, y))

    def click(self, x, y):
        self.display.click(*self.to_screen(x, y))

    def key(self, name):
        self.display.key(name)

    def screenshot(self, png_path=None):
        screen = self.display.screenshot(png_path)
        self.last_screen = screen
        ax, ay, aw, ah = self.area
        x, y = self.origin[0] + ax, self.origin[1] + ay
        ppm = b"P6\n%d %d\n255\n" % (screen.width, screen.height) + screen.pixels
        scaled = subprocess.run(
            [tool("convert"), "ppm:-", "-crop", f"{aw}x{ah}+{x}+{y}", "+repage",
             "-resize", f"{PICTURE_W}x{PICTURE_H}!", "ppm:-"],
            input=ppm, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30, check=True)
        return Image(scaled.stdout)

    def save(self, image, png_path):
        """Keeps the whole screen the picture was cut from, margins and all."""
        Display.save(self.last_screen or image, png_path)
        image.path = png_path


def start_window_manager(display, artifacts):
    log = open(os.path.join(artifacts, "openbox.log"), "wb")
    process = _started(subprocess.Popen([tool("openbox"), "--sm-disable"], env=display.env(),
                                        stdout=log, stderr=subprocess.STDOUT,
                                        start_new_session=True))
    log.close()
    time.sleep(1.0)  # until it manages the screen
    check(process.poll() is None, "openbox did not start (see openbox.log)")
    return process


def window_id(display):
    found = display._run(["xdotool", "search", "--name", "^halvent$"], check_rc=False,
                         stdout=subprocess.PIPE)
    ids = found.stdout.split()
    return ids[0].decode() if ids else None


def window_geometry(display, wid):
    """(x, y, width, height) of a window's client area on the screen (below any title bar)."""
    out = display._run(["xwininfo", "-id", wid], stdout=subprocess.PIPE).stdout.decode()
    values = {}
    for line in out.splitlines():
        name, _, value = line.strip().partition(":")
        values[name] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def first_ink(screen, points):
    """The first of `points` (screen pixels) that is not the white clear colour."""
    for x, y in points:
        if not is_white(screen.px(x, y), 30):
            return x, y
    return None


def check_frame_and_margins(screen, area, origin, label):
    """The menu frame stands where the picture puts it, and the margins are plain black."""
    ax, ay, aw, ah = area
    ox, oy = origin[0] + ax, origin[1] + ay
    scale = aw / PICTURE_W
    # The settled frame spans picture pixels 40..760 across and 60..540 down (menu-local
    # -1..1 at half extents 0.9 and 0.8); its corners are rounded, so it is found on the
    # middle row and the middle column.
    mid_x, mid_y = ox + aw // 2, oy + ah // 2
    left = first_ink(screen, ((x, mid_y) for x in range(ox, ox + aw // 2)))
    right = first_ink(screen, ((x, mid_y) for x in range(ox + aw - 1, ox + aw // 2, -1)))
    top = first_ink(screen, ((mid_x, y) for y in range(oy, oy + ah // 2)))
    bottom = first_ink(screen, ((mid_x, y) for y in range(oy + ah - 1, oy + ah // 2, -1)))
    check(None not in (left, right, top, bottom), f"{label}: the menu frame was not found")
    expected = {"left": (left[0], ox + 40 * scale), "right": (right[0], ox + 760 * scale),
                "top": (top[1], oy + 60 * scale), "bottom": (bottom[1], oy + 540 * scale)}
    for side, (seen, want) in expected.items():
        check(abs(seen - want) <= 12 * scale + 2,
              f"{label}: the frame's {side} edge is at {seen}, expected near {want:.0f}")
    # Inside the picture, at its very corners, the white clear colour.
    for x, y in ((ox + 2, oy + 2), (ox + aw - 3, oy + 2), (ox + 2, oy + ah - 3),
                 (ox + aw - 3, oy + ah - 3)):
        check(is_white(screen.px(x, y)), f"{label}: picture corner ({x}, {y}) is not white")
    # The margins, where there are any: black throughout.
    margins = []
    if ax > 0:
        margins += [(origin[0], origin[1], ox, origin[1] + ah),
                    (ox + aw, origin[1], ox + aw + ax, origin[1] + ah)]
    if ay > 0:
        margins += [(origin[0], origin[1], origin[0] + aw, oy),
                    (origin[0], oy + ah, origin[0] + aw, oy + ah + ay)]
    for box in margins:
        total = (box[2] - box[0]) * (box[3] - box[1])
        black = screen.count(*box, is_black)
        check(black == total, f"{label}: margin {box} has {total - black} pixels not black")


# Full screen on screens of many sizes, without and with a window manager, and a resized
# window: (label, screen size, window manager, window size or None, the picture area in the
# window, toggle to click).
SCREENS = [
    ("800x600", (800, 600), False, None, (0, 0, 800, 600), 0),
    ("1024x768", (1024, 768), False, None, (0, 0, 1024, 768), 1),
    ("1920x1080", (1920, 1080), False, None, (240, 0, 1440, 1080), 2),
    ("1280x1024", (1280, 1024), False, None, (0, 32, 1280, 960), 3),
    ("1280x1024-openbox", (1280, 1024), True, None, (0, 32, 1280, 960), 4),
    ("1920x1080-openbox", (1920, 1080), True, None, (240, 0, 1440, 1080), 0),
    ("window-1000x500-openbox", (1920, 1080), True, (1000, 500), (166, 0, 667, 500), 1),
]


def scenario_any_screen(ctx):
    """On every screen the whole picture shows, in the largest centred 4:3 area with black
    margins; a click on a drawn entry and on a drawn toggle does what it shows, and the
    toggle reaches menu.cfg."""
    displays = {}
    try:
        for label, size, managed, window, area, toggle in SCREENS:
            key = (size, managed)
            if key not in displays:
                display = Display(ctx.artifacts, size=size).start()
                wm = start_window_manager(display, ctx.artifacts) if managed else None
                displays[key] = (display, wm)
            display = displays[key][0]
            view = PictureView(display, (0, 0) + size if window else area)
            run = copy.copy(ctx)  # the same log and programs, seen through the picture
            run.display = view
            ctx.log(f"{label}: start")
            if window is None:
                app = run.launch("00000000")
            else:
                app = App(view, ctx.binary, ctx.repo, ctx.artifacts, settings="00000000",
                          log_name=f"halvent-{label}.log", args=["--windowed"])
                app.log = ctx.log
                ctx.apps.append(app)
                app.start()
                wid = None
                deadline = time.monotonic() + 20
                while wid is None and time.monotonic() < deadline:
                    wid = window_id(display)
                    time.sleep(0.2)
                check(wid is not None, f"{label}: the window did not appear")
                time.sleep(0.5)
                display._run(["xdotool", "windowsize", wid, str(window[0]), str(window[1])])
                time.sleep(0.5)
                x, y, w, h = window_geometry(display, wid)
                check((w, h) == window, f"{label}: the window is {w}x{h}, not {window}")
                view.origin = (x, y)
                view.area = area
            wait_menu(app, f"{label}-menu")
            screen = view.last_screen
            check_frame_and_margins(screen, area, view.origin, label)
            open_page(run, app, "Внешний вид")
            click_toggle(run, toggle)
            image = app.poll(f"{label}-toggle", lambda img: toggle_red_share(img, toggle) >= 0.5,
                             4)
            check(image is not None, f"{label}: a click on toggle {toggle} did not check it")
            press_and_wait_exit(run, app, lambda: view.key("Escape"))
            stored = app.read_settings()
            want = ("0" * toggle + "1").ljust(8, "0").encode()
            check(stored == want, f"{label}: menu.cfg holds {stored!r}, expected {want!r}")
            app.cleanup()
            ctx.note(f"{label}: frame, margins, a page and toggle {toggle} as drawn")
    finally:
        for display, wm in displays.values():
            if wm and wm.poll() is None:
                wm.terminate()
                wm.wait()
            display.stop()


SAVED = b"11100000"  # what "1\n" becomes when the settings are saved


def wait_exit_after(app, action, label, limit=1.0):
    """Performs `action` and expects the program to end in order within `limit` seconds."""
    before = time.monotonic()
    action()
    status = app.wait_exit(10)
    took = time.monotonic() - before
    check(status is not None, f"{label}: the program was still running 10 s later")
    check(status == 1, f"{label}: the program ended with status {status}, expected 1")
    check(took <= limit, f"{label}: the program took {took:.2f} s to end (limit {limit} s)")
    stored = app.read_settings()
    return took, stored


def scenario_ways_out(ctx):
    """Every way the program is ended from outside ends it within a second, with the
    settings saved: SIGTERM while a message box is up, SIGHUP and SIGINT, the window
    destroyed, the connection killed, and the display server gone."""
    # The box at start-up: SIGTERM closes it and the program ends as it would by Esc.
    app = ctx.launch(settings=None)
    image = app.poll("box-up", lambda img: find_dialog_button(img) is not None, 30)
    check(image is not None, "the 'File not found !!!' box did not show")
    took, stored = wait_exit_after(app, lambda: app.process.send_signal(signal.SIGTERM),
                                   "SIGTERM with the box up")
    check(stored == b"00000000", f"SIGTERM with the box up: menu.cfg holds {stored!r}")
    ctx.note(f"SIGTERM with a message box up: ended in {took:.2f} s, settings saved")

    def during_session(app):
        ctx.display.key("space")
        check(app.poll("session", training_shown, 5) is not None, "Space started no session")

    ways = [
        ("SIGHUP in the menu", None, lambda app: app.process.send_signal(signal.SIGHUP)),
        ("SIGINT in a session", during_session,
         lambda app: app.process.send_signal(signal.SIGINT)),
        ("window destroyed", None,
         lambda app: ctx.display._run(["xdotool", "windowclose", window_id(ctx.display)])),
        ("connection killed", None,
         lambda app: ctx.display._run(["xdotool", "windowkill", window_id(ctx.display)])),
        ("display server gone", None, lambda app: ctx.display.process.kill()),
    ]
    for label, before, action in ways:
        app = ctx.launch(settings="1\n")
        check(app.poll(f"{label}-drawn", drawing, 30) is not None, f"{label}: no frame drawn")
        if before:
            before(app)
        took, stored = wait_exit_after(app, lambda: action(app), label)
        check(stored == SAVED, f"{label}: menu.cfg holds {stored!r}, expected {SAVED!r}")
        ctx.note(f"{label}: ended in {took:.2f} s, settings saved")


def level_ratio(samples, at, reference, rate):
    """How loud the sound starting at `at` seconds is against its file at full level."""
    start = int(at * AUDIO_RATE)
    stretch = samples[start:start + int((len(reference) / rate + 0.1) * AUDIO_RATE)]
    return max(peaks(stretch, AUDIO_RATE)) / max(peaks(reference, rate))


def scenario_volume(ctx):
    """The cues are heard at the level the options page shows from the start (50 %), and the
    first "+ " makes the next sound louder (60 %)."""
    app = ctx.launch()
    wait_menu(app, "menu")
    ctx.display.key("space")
    check(app.poll("session", training_shown, 5) is not None, "Space started no session")
    time.sleep(3.0)  # the first cue comes on the second beat
    ctx.display.key("Return")
    check(app.poll("menu-again", drawing, 5) is not None, "Enter did not bring the menu back")
    time.sleep(1.0)
    open_page(ctx, app, "Опции")
    time.sleep(1.5)  # the cues before this have played out
    ctx.display.click(*menu_px(0.51, 0.67))
    ctx.display.move(*NEUTRAL)
    time.sleep(1.5)
    press_and_wait_exit(ctx, app, lambda: ctx.display.key("Escape"))
    left, _ = app.audio()
    found = onsets(left, AUDIO_RATE, on_level=800)
    check(len(found) >= 2, f"only {len(found)} sounds captured")
    cue, cue_rate = read_wave(os.path.join(ctx.repo, "img", "2.wav"))
    test, test_rate = read_wave(os.path.join(ctx.repo, "img", "1.wav"))
    first = level_ratio(left, found[0], cue, cue_rate)
    last = level_ratio(left, found[-1], test, test_rate)
    ctx.note(f"first cue at {first:.0%} of its file's level, the test sound after '+ ' at "
             f"{last:.0%}")
    check(abs(first - 0.5) <= 0.06, f"the first cue sounded at {first:.0%}, expected 50 %")
    check(abs(last - 0.6) <= 0.06, f"the sound after '+ ' was at {last:.0%}, expected 60 %")


SCENARIOS = [
    ("any-screen", scenario_any_screen),
    ("ways-out", scenario_ways_out),
    ("volume", scenario_volume),
]
