"""A synthetic chest under the fake strap: a known breathing, the heart's beats and what the
strap's accelerometer feels of them, on the fake's own clock (time.monotonic seconds).

Mirrors tests/unit/support/chest_signal.cpp: gravity mostly along -y with the strap worn
upright, the breath a slow tilt and lift of some tens of mG whose rise along z is the chest
expanding, a ripple of a few mG at each heartbeat, white noise, and if asked movement bursts
and a change of posture (gravity and the breathing direction turn by about 35 degrees)."""

import bisect
import math
import random


def unit(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


def blend(a, b, w):
    return unit(tuple(p + w * (q - p) for p, q in zip(a, b)))


# Sitting upright, leaning back a little; then reclined. The breath tilts the strap mostly
# out of the chest (a positive z component: expansion is a rise along z).
GRAVITY_BEFORE = unit((0.1, -0.94, -0.33))
GRAVITY_AFTER = unit((0.3, -0.6, -0.74))
BREATH_BEFORE = unit((0.15, 0.35, 0.92))
BREATH_AFTER = unit((0.55, -0.2, 0.81))
RIPPLE_DIRECTION = unit((0.2, 0.8, 0.55))
GRAVITY_MG = 1000.0
POSTURE_TURN_S = 2.0

# One breath: seconds of breathing in, holding full, breathing out, holding empty.
SLOW = (4.0, 0.5, 4.5, 1.0)  # 6 a minute, a pacer's unequal in and out
FAST = (1.6, 0.0, 2.4, 0.0)  # 15 a minute, no holds


class Breathing:
    """A known breathing from `start` on (before it the chest rests empty): `plan` is a list
    of (until, breath), each breath (in, hold, out, hold) repeated while it begins before
    `start + until`; the last one goes on for ever. Breathing in lasts from the start of an
    inhale to the start of the exhale (a hold keeps the breath's last direction)."""

    def __init__(self, start, plan):
        self.starts = []  # the start of each breath, in order
        self.shapes = []
        t = start
        for until, shape in plan[:-1]:
            while t < start + until:
                self.starts.append(t)
                self.shapes.append(shape)
                t += sum(shape)
        self.start = start
        self.end = t
        self.last = plan[-1][1]

    def _breath(self, t):
        """The breath under way at `t`, as its start and shape."""
        if t >= self.end:
            period = sum(self.last)
            return self.end + math.floor((t - self.end) / period) * period, self.last
        i = bisect.bisect_right(self.starts, t) - 1
        return self.starts[i], self.shapes[i]

    def fullness(self, t):
        """0 empty .. 1 full. Inhale and exhale each start at full speed and ease into the
        hold or the next turn, as in the C++ chest."""
        if t < self.start:
            return 0.0
        began, (inhale, hold_in, exhale, _) = self._breath(t)
        u = t - began
        quarter = math.pi / 2
        if u < inhale:
            return math.sin(quarter * u / inhale)
        if u < inhale + hold_in:
            return 1.0
        if u < inhale + hold_in + exhale:
            return 1.0 - math.sin(quarter * (u - inhale - hold_in) / exhale)
        return 0.0

    def breathing_in(self, t):
        if t < self.start:
            return False
        began, (inhale, hold_in, _, _) = self._breath(t)
        return t - began < inhale + hold_in


def ripple(since_beat_s):
    """A heartbeat felt on the chest: a sharp push and a smaller rebound."""
    def bump(t, at, width):
        u = (t - at) / width
        return math.exp(-u * u)
    return bump(since_beat_s, 0.08, 0.025) - 0.7 * bump(since_beat_s, 0.18, 0.035)


class Chest:
    """What the strap's accelerometer measures at any moment, in mG along its axes.

    `beats` are the heart's beat moments (sorted); `movements` (start, length) in seconds of
    the fake's clock; `posture_at` the moment a change of posture begins (None: none)."""

    def __init__(self, breathing, beats, swing_mg=24.0, ripple_mg=3.0, noise_mg=2.0,
                 movements=(), posture_at=None, seed=5):
        self.breathing = breathing
        self.beats = beats
        self.swing_mg = swing_mg
        self.ripple_mg = ripple_mg
        self.noise_mg = noise_mg
        self.movements = list(movements)
        self.posture_at = posture_at
        self.random = random.Random(seed)
        self.shake_direction = (0.0, 0.0, 1.0)
        self.was_moving = False

    def moving(self, t):
        if any(start <= t < start + length for start, length in self.movements):
            return True
        p = self.posture_at
        return p is not None and p - 0.5 <= t < p + POSTURE_TURN_S + 0.5

    def sample(self, t):
        """The acceleration at `t`; samples are asked for in order of time (the noise and the
        shaking draw on one random stream)."""
        w = 0.0
        if self.posture_at is not None:
            w = min(max((t - self.posture_at) / POSTURE_TURN_S, 0.0), 1.0)
        gravity = blend(GRAVITY_BEFORE, GRAVITY_AFTER, w)
        breath = blend(BREATH_BEFORE, BREATH_AFTER, w)
        swing = self.swing_mg * (self.breathing.fullness(t) - 0.5)
        k = bisect.bisect_right(self.beats, t) - 1
        heart = self.ripple_mg * ripple(t - self.beats[k]) if k >= 0 else 0.0
        shaken = self.moving(t)
        spread = self.random.uniform
        if shaken and not self.was_moving:
            self.shake_direction = unit((spread(-1, 1), spread(-1, 1), spread(-1, 1)))
        self.was_moving = shaken
        shake = 0.0
        if shaken:
            shake = (120.0 * math.sin(2 * math.pi * 1.7 * t)
                     + 60.0 * math.sin(2 * math.pi * 3.1 * t + 1.0))
        noise = self.random.gauss
        return tuple(GRAVITY_MG * gravity[a] + swing * breath[a] + heart * RIPPLE_DIRECTION[a]
                     + shake * self.shake_direction[a] + noise(0.0, self.noise_mg)
                     + (10.0 * noise(0.0, self.noise_mg) if shaken else 0.0)
                     for a in range(3))
