"""Plumbing for the end-to-end suite: a virtual display, the program in a scratch folder,
screenshots read pixel by pixel, pointer and keys through xdotool, and the captured sound."""

import array
import atexit
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import wave

WIDTH, HEIGHT = 800, 600
AUDIO_RATE = 44100
AUDIO_CHANNELS = 2

# The menu frame settles at these half extents (menu-local 1.0 is this much of the screen).
MENU_SCALE_X, MENU_SCALE_Y = 0.9, 0.8


# Every process and scratch folder made here, so that an interrupted run leaves none behind.
_children = set()
_scratch = set()
_children_lock = threading.Lock()


def _started(process):
    with _children_lock:
        _children.add(process)
    return process


def stop_all_children():
    with _children_lock:
        children = list(_children)
    for process in children:
        if process.poll() is None:
            process.kill()
            process.wait()
    with _children_lock:
        folders = list(_scratch)
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)


atexit.register(stop_all_children)


class Failure(Exception):
    """A check that did not hold; the message says what was seen."""


class Skipped(Exception):
    """A scenario that cannot run on this machine (a tool it needs is missing); the message
    says what is missing."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def ndc_px(x, y):
    """Screen pixel of a normalised device point (x, y in -1..1, y up)."""
    return int(round((x + 1.0) * WIDTH / 2)), int(round((1.0 - y) * HEIGHT / 2))


def menu_px(lx, ly):
    """Screen pixel of a menu-local point once the opening zoom has settled."""
    return ndc_px(MENU_SCALE_X * lx, MENU_SCALE_Y * ly)


def tool(name):
    # Prefer the distribution's ImageMagick over anything earlier on the PATH.
    for directory in ("/usr/bin", "/bin"):
        path = os.path.join(directory, name)
        if os.access(path, os.X_OK):
            return path
    found = shutil.which(name)
    if not found:
        raise Failure(f"{name} is not installed")
    return found


# ---------------------------------------------------------------------------------------------
# Pictures


class Image:
    """An RGB picture read from a binary PPM (P6, maxval 255)."""

    def __init__(self, data, path=None):
        self.path = path
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        pos += 1  # the single white-space byte before the raster
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise Failure(f"unexpected picture format {fields[0]!r} maxval {fields[3]!r}")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos:pos + self.width * self.height * 3]
        if len(self.pixels) != self.width * self.height * 3:
            raise Failure("short picture data")

    def px(self, x, y):
        x = min(max(int(x), 0), self.width - 1)
        y = min(max(int(y), 0), self.height - 1)
        i = (y * self.width + x) * 3
        return self.pixels[i], self.pixels[i + 1], self.pixels[i + 2]

    def region(self, x0, y0, x1, y1):
        """Every pixel of the rectangle [x0, x1) x [y0, y1), clipped to the picture."""
        x0, x1 = max(int(x0), 0), min(int(x1), self.width)
        y0, y1 = max(int(y0), 0), min(int(y1), self.height)
        for y in range(y0, y1):
            row = (y * self.width) * 3
            for x in range(x0, x1):
                i = row + x * 3
                yield self.pixels[i], self.pixels[i + 1], self.pixels[i + 2]

    def count(self, x0, y0, x1, y1, predicate):
        return sum(1 for p in self.region(x0, y0, x1, y1) if predicate(p))

    def mean(self, x0, y0, x1, y1):
        n = r = g = b = 0
        for p in self.region(x0, y0, x1, y1):
            n += 1
            r += p[0]
            g += p[1]
            b += p[2]
        return (r / n, g / n, b / n) if n else (0.0, 0.0, 0.0)

    def mean_around(self, x, y, radius=2):
        return self.mean(x - radius, y - radius, x + radius + 1, y + radius + 1)

    def differing(self, other, x0, y0, x1, y1, threshold=40):
        """How many pixels of the rectangle differ from `other` by more than `threshold`."""
        n = 0
        for p, q in zip(self.region(x0, y0, x1, y1), other.region(x0, y0, x1, y1)):
            if abs(p[0] - q[0]) + abs(p[1] - q[1]) + abs(p[2] - q[2]) > threshold:
                n += 1
        return n


def luminance(p):
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]


def is_white(p, tolerance=12):
    return min(p) >= 255 - tolerance


def is_black(p, tolerance=8):
    return max(p) <= tolerance


def is_green_text(p):
    return p[1] >= 120 and p[1] - max(p[0], p[2]) >= 60


# ---------------------------------------------------------------------------------------------
# The virtual display


class Display:
    """An Xvfb server of its own, 800 x 600 x 24 unless told, on a display number the server
    picks."""

    def __init__(self, log_dir, size=(WIDTH, HEIGHT)):
        self.log_dir = log_dir
        self.size = size
        self.process = None
        self.name = None

    def start(self):
        read_fd, write_fd = os.pipe()
        log = open(os.path.join(self.log_dir, "xvfb.log"), "wb")
        self.process = _started(subprocess.Popen(
            [tool("Xvfb"), "-displayfd", str(write_fd), "-screen", "0",
             f"{self.size[0]}x{self.size[1]}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=log, stderr=subprocess.STDOUT, start_new_session=True))
        os.close(write_fd)
        log.close()
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_fd, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = pipe.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            self.stop()
            raise Failure("Xvfb did not start (see xvfb.log)")
        self.name = ":" + number.strip().decode()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self._run(["xdotool", "getdisplaygeometry"], check_rc=False).returncode == 0:
                return self
            time.sleep(0.1)
        raise Failure(f"display {self.name} does not answer")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def _run(self, argv, check_rc=True, stdout=subprocess.DEVNULL):
        argv = [tool(argv[0])] + argv[1:]
        result = subprocess.run(argv, env=self.env(), stdout=stdout, stderr=subprocess.PIPE,
                                timeout=30)
        if check_rc and result.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed: {result.stderr.decode(errors='replace')}")
        return result

    # Input, as a person would give it.

    def move(self, x, y):
        # No --sync: it waits for ever when the pointer already stands there. The server keeps
        # the order of motion and clicks anyway.
        self._run(["xdotool", "mousemove", str(int(x)), str(int(y))])

    def click(self, x, y):
        self.move(x, y)
        time.sleep(0.05)
        self._run(["xdotool", "click", "1"])

    def key(self, name):
        self._run(["xdotool", "key", name])

    # Output.

    def screenshot(self, png_path=None):
        """Grabs the whole screen and returns its pixels; keeps it as PNG at `png_path`."""
        # xwd walks every window for its visual; a window that closes during the walk (as one
        # may while the program starts or ends) fails it with BadWindow. Grab again then.
        for attempt in range(5):
            grab = subprocess.run([tool("xwd"), "-root", "-silent"], env=self.env(),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
            if grab.returncode == 0 and grab.stdout:
                break
            time.sleep(0.2)
        else:
            raise Failure("xwd failed: " + grab.stderr.decode(errors="replace"))
        argv = [tool("convert"), "xwd:-"]
        if png_path:
            argv += ["-write", "png:" + png_path]
        convert = subprocess.run(argv + ["ppm:-"], input=grab.stdout, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, timeout=30)
        if convert.returncode != 0:
            raise Failure("convert failed: " + convert.stderr.decode(errors="replace"))
        return Image(convert.stdout, png_path)

    @staticmethod
    def save(image, png_path):
        """Keeps a picture grabbed earlier as PNG."""
        ppm = b"P6\n%d %d\n255\n" % (image.width, image.height) + image.pixels
        subprocess.run([tool("convert"), "ppm:-", "png:" + png_path], input=ppm, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)
        image.path = png_path


# ---------------------------------------------------------------------------------------------
# The program


_numbers = {}
_numbers_lock = threading.Lock()


class App:
    """One run of the real program in a scratch working folder of its own."""

    def __init__(self, display, binary, repo, artifacts, settings="00000000", workdir=None,
                 log_name="halvent.log", args=()):
        self.display = display
        self.binary = binary
        self.artifacts = artifacts
        os.makedirs(artifacts, exist_ok=True)
        # A later run may reuse an earlier run's folder, to read back what that one wrote.
        self.owns_workdir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="halvent-e2e-")
        with _children_lock:
            _scratch.add(self.workdir)
        if self.owns_workdir:
            os.symlink(os.path.join(repo, "img"), os.path.join(self.workdir, "img"))
        if settings is not None:
            with open(self.settings_path, "w", encoding="ascii") as f:
                f.write(settings)
        self.audio_path = os.path.join(self.workdir, "audio.raw")
        if os.path.exists(self.audio_path):
            os.remove(self.audio_path)
        self.log_path = os.path.join(artifacts, log_name)
        self.args = list(args)
        self.process = None
        self.started = None
        self.log = lambda text: None
        self.grabbed_at = None

    @property
    def settings_path(self):
        return os.path.join(self.workdir, "menu.cfg")

    def read_settings(self):
        with open(self.settings_path, "rb") as f:
            return f.read()

    def start(self):
        env = self.display.env()
        env["SDL_AUDIODRIVER"] = "disk"
        env["SDL_DISKAUDIOFILE"] = self.audio_path
        env.pop("SDL_VIDEODRIVER", None)
        log = open(self.log_path, "wb")
        self.process = _started(subprocess.Popen(
            [self.binary] + self.args, cwd=self.workdir, env=env, stdin=subprocess.DEVNULL,
            stdout=log, stderr=subprocess.STDOUT))
        log.close()
        self.started = time.monotonic()
        return self

    def elapsed(self):
        return time.monotonic() - self.started

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout):
        """The exit status, or None if the program is still running after `timeout` seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.alive():
            self.process.send_signal(signal.SIGTERM)
            if self.wait_exit(3) is None:
                self.process.kill()
                self.process.wait()

    def cleanup(self, keep_files=False):
        self.stop()
        if not os.path.isdir(self.workdir):
            return  # a later run in the same folder cleaned up already
        if keep_files and os.path.exists(self.settings_path):
            shutil.copy(self.settings_path, os.path.join(self.artifacts, "menu.cfg"))
        shutil.rmtree(self.workdir, ignore_errors=True)

    def artefact(self, label):
        """The path of the next screenshot of this scenario, numbered in the order taken."""
        with _numbers_lock:
            number = _numbers.get(self.artifacts, 0) + 1
            _numbers[self.artifacts] = number
        return os.path.join(self.artifacts, f"{number:02d}-{label}.png")

    def shot(self, label):
        """A screenshot kept as an artefact."""
        return self.display.screenshot(self.artefact(label))

    def poll(self, label, condition, timeout, interval=0.2):
        """Takes screenshots until `condition(image)` holds; returns that image or None.

        Only the last screenshot is kept, as the artefact for `label`."""
        began = time.monotonic()
        deadline = began + timeout
        path = self.artefact(label)
        tries = 0
        while True:
            check(self.alive(), f"the program ended while waiting for: {label}")
            self.grabbed_at = time.monotonic()  # when the picture was taken, near enough
            image = self.display.screenshot()
            tries += 1
            if condition(image):
                self.display.save(image, path)
                self.log(f"{label}: after {time.monotonic() - began:.2f} s, {tries} screenshots")
                return image
            if time.monotonic() >= deadline:
                self.display.save(image, path)
                self.log(f"{label}: not seen within {timeout:.1f} s, {tries} screenshots")
                return None
            time.sleep(interval)

    def audio(self):
        return read_raw_audio(self.audio_path)


# ---------------------------------------------------------------------------------------------
# Sound


def read_raw_audio(path):
    """The disk driver's stream (signed 16-bit little-endian, two channels interleaved) as the
    left and the right channel's samples."""
    with open(path, "rb") as f:
        data = f.read()
    data = data[:len(data) - len(data) % (2 * AUDIO_CHANNELS)]
    samples = array.array("h")
    samples.frombytes(data)
    if sys.byteorder != "little":
        samples.byteswap()
    return samples[0::AUDIO_CHANNELS], samples[1::AUDIO_CHANNELS]


def read_wave(path):
    """A wave file as mono 16-bit samples at its own rate."""
    with wave.open(path, "rb") as w:
        width, channels, rate = w.getsampwidth(), w.getnchannels(), w.getframerate()
        data = w.readframes(w.getnframes())
    if width == 1:
        samples = array.array("h", ((b - 128) << 8 for b in data))
    elif width == 2:
        samples = array.array("h")
        samples.frombytes(data)
        if sys.byteorder != "little":
            samples.byteswap()
    else:
        raise Failure(f"{path}: {8 * width}-bit samples are not expected")
    return samples[0::channels], rate


def peaks(samples, rate, window_s=0.01):
    """The largest magnitude in each window."""
    step = max(1, int(rate * window_s))
    out = []
    for start in range(0, len(samples), step):
        chunk = samples[start:start + step]
        out.append(max(max(chunk), -min(chunk)))
    return out


def onsets(samples, rate, on_level=1500, off_level=300, quiet_s=0.12, window_s=0.01):
    """Start times (seconds) of sounds: the first window above `on_level` after at least
    `quiet_s` of windows below `off_level`."""
    levels = peaks(samples, rate, window_s)
    found = []
    quiet = quiet_s  # the stream starts in silence
    armed = True
    for i, level in enumerate(levels):
        if level < off_level:
            quiet += window_s
            if quiet >= quiet_s:
                armed = True
            continue
        quiet = 0.0
        if level >= on_level and armed:
            found.append(i * window_s)
            armed = False
    return found


def spectrum(samples, rate, start_s, length_s=0.3):
    """A coarse, normalised magnitude spectrum (Goertzel at sixth-octave steps) of a stretch
    of sound, for telling the cue files apart."""
    begin = max(0, int(start_s * rate))
    chunk = samples[begin:begin + int(length_s * rate)]
    # Averaging four samples keeps every frequency used below and quarters the work.
    factor = 4
    reduced = [sum(chunk[i:i + factor]) / factor for i in range(0, len(chunk) - factor + 1, factor)]
    low_rate = rate / factor
    values = []
    frequency = 150.0
    while frequency < 4000.0:
        coefficient = 2.0 * math.cos(2.0 * math.pi * frequency / low_rate)
        s1 = s2 = 0.0
        for v in reduced:
            s1, s2 = v + coefficient * s1 - s2, s1
        values.append(math.sqrt(max(s1 * s1 + s2 * s2 - coefficient * s1 * s2, 0.0)))
        frequency *= 2 ** (1 / 6)
    norm = math.sqrt(sum(v * v for v in values)) or 1.0
    return [v / norm for v in values]


def similarity(a, b):
    return sum(x * y for x, y in zip(a, b))
