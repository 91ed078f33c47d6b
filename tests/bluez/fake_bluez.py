#!/usr/bin/python3
"""A stand-in for BlueZ on a private bus: one adapter and one heart-rate strap that plays a
recording of RR intervals in real time. Follows BlueZ's D-Bus interfaces (ObjectManager,
Adapter1, Device1, GattService1, GattCharacteristic1) as far as the strap source uses them.

Usage: fake_bluez.py SCENARIO RECORDING, where SCENARIO is
  story          beats in batches of 0 to 3, contact lost and regained, a silent spell, a link
                 drop and reconnection, then the adapter goes away
  play           the recording beat by beat, for as long as it lasts
  batched-N      the recording as it happens, sent every N seconds (give or take a quarter
                 of a second) with the beats of that time: 25 s, then 6 s without skin
                 contact, 12 s, a link drop and reconnection, and 15 s more
  never-found    discovery never finds the strap
  connect-hangs  the strap is found, but Connect never answers
  no-adapter     BlueZ runs without an adapter
  powered-off    the adapter is switched off
These straps have a heart-rate service only. The next ones also offer the measurement-data
service with its accelerometer, whose samples come from a synthetic chest (chest.py) breathing
a known way; the heart beats on by the recording from the fake's start, and each beat is
sent as it ends while the link is up:
  breathing        from 2.5 s on, paced breathing 6 a minute (in 4 s, hold 0.5 s, out 4.5 s,
                   hold 1 s) for 60 s, 24 s at 15 a minute, then paced again; raw frames
  breathing-moved  paced breathing; the strap is shaken at 45 s (3 s) and 100 s (1.5 s), the
                   wearer reclines at 70 s and the link drops at 125 s; delta-compressed
                   frames with a factor of 0.5 mG
  breath-refused   the strap answers the accelerometer's start with an error (status 5)
It prints one line per event the test may wait for (ready, discovering, connecting,
notifying, stop-notify, disconnected-by-client, dropped, adapter-gone, done; and for the
measurement data pmd-control-notifying, pmd-data-notifying, pmd-settings, pmd-start,
pmd-start-refused, pmd-first-frame, pmd-stop, pmd-control-stop-notify, pmd-data-stop-notify)
on stdout, and "rr MS" for every interval it sends, as the strap encodes it; with the
accelerometer "rr MS breath B at S": B is 1 when the chest was breathing in at that beat's
moment, S the moment in seconds after the fake started, which "clock T" tells on the host's
monotonic clock."""

import bisect
import os
import random
import struct
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chest import FAST, SLOW, Breathing, Chest  # noqa: E402

BLUEZ = "org.bluez"
OBJECT_MANAGER = "org.freedesktop.DBus.ObjectManager"
PROPERTIES = "org.freedesktop.DBus.Properties"
ADAPTER = "org.bluez.Adapter1"
DEVICE = "org.bluez.Device1"
SERVICE = "org.bluez.GattService1"
CHARACTERISTIC = "org.bluez.GattCharacteristic1"
HEART_RATE = "0000180d-0000-1000-8000-00805f9b34fb"
BATTERY = "0000180f-0000-1000-8000-00805f9b34fb"
MEASUREMENT = "00002a37-0000-1000-8000-00805f9b34fb"

ADAPTER_PATH = "/org/bluez/hci0"
ADDRESS = "C0:FF:EE:00:12:37"
DEVICE_PATH = ADAPTER_PATH + "/dev_" + ADDRESS.replace(":", "_")
SERVICE_PATH = DEVICE_PATH + "/service000c"
CHAR_PATH = SERVICE_PATH + "/char000d"

# The measurement-data service: a control point for commands and answers, and the data.
PMD_SERVICE = "fb005c80-02e7-f387-1cad-8acd2d8df0c8"
PMD_CONTROL = "fb005c81-02e7-f387-1cad-8acd2d8df0c8"
PMD_DATA = "fb005c82-02e7-f387-1cad-8acd2d8df0c8"
PMD_SERVICE_PATH = DEVICE_PATH + "/service0030"
PMD_CONTROL_PATH = PMD_SERVICE_PATH + "/char0031"
PMD_DATA_PATH = PMD_SERVICE_PATH + "/char0034"


def say(event):
    print(event, flush=True)


class Failed(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.Failed"


class NotReady(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.NotReady"


class NotPermitted(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.NotPermitted"


class Thing(dbus.service.Object):
    """An object with one BlueZ interface and its properties."""

    def __init__(self, bus, path, interface, properties):
        self.path = path
        self.interface = interface
        self.props = properties
        self.bus = bus
        dbus.service.Object.__init__(self, bus, path)

    def set(self, **changes):
        self.props.update(changes)
        self.PropertiesChanged(self.interface, dbus.Dictionary(changes, signature="sv"), [])

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.props[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return dbus.Dictionary(self.props, signature="sv")

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Root(dbus.service.Object):
    def __init__(self, bus):
        dbus.service.Object.__init__(self, bus, "/")
        self.things = {}

    def add(self, thing):
        self.things[thing.path] = thing
        self.InterfacesAdded(thing.path, {thing.interface: dbus.Dictionary(thing.props, signature="sv")})

    def remove(self, thing):
        if self.things.pop(thing.path, None) is not None:
            thing.remove_from_connection()
            self.InterfacesRemoved(thing.path, [thing.interface])

    @dbus.service.method(OBJECT_MANAGER, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return {path: {t.interface: dbus.Dictionary(t.props, signature="sv")}
                for path, t in self.things.items()}

    @dbus.service.signal(OBJECT_MANAGER, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJECT_MANAGER, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class Adapter(Thing):
    def __init__(self, bus, strap):
        Thing.__init__(self, bus, ADAPTER_PATH, ADAPTER, {
            "Address": "00:1A:7D:DA:71:13", "Powered": dbus.Boolean(True),
            "Discovering": dbus.Boolean(False)})
        self.strap = strap
        self.filter = None

    @dbus.service.method(ADAPTER, in_signature="a{sv}")
    def SetDiscoveryFilter(self, properties):
        self.filter = properties

    @dbus.service.method(ADAPTER)
    def StartDiscovery(self):
        if not self.props["Powered"]:
            raise NotReady("Resource Not Ready")
        self.set(Discovering=dbus.Boolean(True))
        say("discovering")
        self.strap.on_discovery(self.filter)

    @dbus.service.method(ADAPTER)
    def StopDiscovery(self):
        self.set(Discovering=dbus.Boolean(False))


class Device(Thing):
    def __init__(self, bus, strap):
        uuids = [HEART_RATE, BATTERY] + ([PMD_SERVICE] if strap.pmd is not None else [])
        Thing.__init__(self, bus, DEVICE_PATH, DEVICE, {
            "Address": ADDRESS, "Name": "Chest strap", "Adapter": dbus.ObjectPath(ADAPTER_PATH),
            "UUIDs": dbus.Array(uuids, signature="s"),
            "Connected": dbus.Boolean(False), "ServicesResolved": dbus.Boolean(False),
            "Paired": dbus.Boolean(False), "RSSI": dbus.Int16(-61)})
        self.strap = strap

    @dbus.service.method(DEVICE, async_callbacks=("ok", "fail"))
    def Connect(self, ok, fail):
        say("connecting")
        self.strap.on_connect(ok, fail)

    @dbus.service.method(DEVICE)
    def Disconnect(self):
        say("disconnected-by-client")
        self.strap.link_down()


class Characteristic(Thing):
    """A characteristic; `name` starts its events' names, `on_write` takes what is written
    (none: writing is not permitted) and `read` gives what is read."""

    def __init__(self, bus, path=CHAR_PATH, uuid=MEASUREMENT, service=SERVICE_PATH,
                 flags=("notify",), name="", on_write=None, read=None):
        Thing.__init__(self, bus, path, CHARACTERISTIC, {
            "UUID": uuid, "Service": dbus.ObjectPath(service),
            "Value": dbus.Array([], signature="y"), "Notifying": dbus.Boolean(False),
            "Flags": dbus.Array(list(flags), signature="s")})
        self.name = name
        self.on_write = on_write
        self.read = read

    @dbus.service.method(CHARACTERISTIC)
    def StartNotify(self):
        self.set(Notifying=dbus.Boolean(True))
        say(self.name + "notifying")

    @dbus.service.method(CHARACTERISTIC)
    def StopNotify(self):
        self.set(Notifying=dbus.Boolean(False))
        say(self.name + "stop-notify")

    @dbus.service.method(CHARACTERISTIC, in_signature="aya{sv}")
    def WriteValue(self, value, options):
        if self.on_write is None:
            raise NotPermitted("Write not permitted")
        self.on_write(bytes(value))

    @dbus.service.method(CHARACTERISTIC, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        if self.read is None:
            raise NotPermitted("Read not permitted")
        return dbus.Array([dbus.Byte(b) for b in self.read()], signature="y")

    def notify(self, payload):
        if self.props["Notifying"]:
            self.set(Value=dbus.Array([dbus.Byte(b) for b in payload], signature="y"))
            return True
        return False


def measurement(intervals_ms, rate, wide=False, contact=True, energy=None, rr_field=True):
    """A Heart Rate Measurement value: flags, rate, energy expended, RR in 1/1024 s."""
    flags = 0x04 | (0x02 if contact else 0)
    flags |= 0x01 if wide else 0
    flags |= 0x08 if energy is not None else 0
    flags |= 0x10 if rr_field else 0
    out = bytes([flags]) + (struct.pack("<H", rate) if wide else bytes([rate]))
    if energy is not None:
        out += struct.pack("<H", energy)
    for ms in intervals_ms:
        out += struct.pack("<H", round(ms * 1024 / 1000))
    return out


# The measurement-data service's bytes: answers start F0, op code, measurement type, status.
ANSWER = 0xF0
GET_SETTINGS, START, STOP = 0x01, 0x02, 0x03
ACCELEROMETER = 0x02
SUCCESS, INVALID_OP, NOT_SUPPORTED, INVALID_PARAMETER, ALREADY = 0x00, 0x01, 0x03, 0x05, 0x06
SAMPLE_RATE, RESOLUTION, RANGE, CHANNELS, FACTOR = 0, 1, 2, 4, 5
RAW, DELTA = 0x01, 0x81
SAMPLES_A_FRAME = 36  # as many as fit a notification of 232 bytes
# The strap's clock: nanoseconds from an epoch of its own (years after 2000, unrelated to
# the host's), running a little fast.
DEVICE_EPOCH_NS = 727_000_000 * 10**9 + 123_456_789
DEVICE_DRIFT = 25e-6


def settings_list(entries):
    """Setting entries (type, values): type, count, the values (u16, u8 for channels,
    float32 for the factor)."""
    out = b""
    for kind, values in entries:
        out += bytes([kind, len(values)])
        for v in values:
            if kind == CHANNELS:
                out += bytes([v])
            elif kind == FACTOR:
                out += struct.pack("<f", v)
            else:
                out += struct.pack("<H", v)
    return out


def read_settings(data):
    """The entries of a start command as {type: [values]}, or None if they do not parse."""
    sizes = {SAMPLE_RATE: 2, RESOLUTION: 2, RANGE: 2, CHANNELS: 1}
    found = {}
    at = 0
    while at < len(data):
        if len(data) - at < 2 or data[at] not in sizes:
            return None
        kind, count = data[at], data[at + 1]
        at += 2
        size = sizes[kind]
        if len(data) - at < size * count:
            return None
        found[kind] = [int.from_bytes(data[at + i * size:at + (i + 1) * size], "little")
                       for i in range(count)]
        at += size * count
    return found


def int16(v):
    return max(-32768, min(32767, int(round(v))))


def raw_frame(stamp_ns, samples):
    """An accelerometer frame of raw samples: x, y, z as int16 mG."""
    out = bytes([ACCELEROMETER]) + struct.pack("<Q", stamp_ns) + bytes([RAW])
    for sample in samples:
        out += struct.pack("<hhh", *(int16(v) for v in sample))
    return out


def signed_width(values):
    width = 1
    while any(not -(1 << (width - 1)) <= v < (1 << (width - 1)) for v in values):
        width += 1
    return width


def delta_frame(stamp_ns, samples, factor, block=12):
    """A delta-compressed frame: the first sample whole (int16 in steps of `factor` mG),
    then blocks of bit width, count and the count x 3 deltas packed least significant bit
    first, each block as wide as its largest delta needs."""
    counts = [tuple(int16(v / factor) for v in sample) for sample in samples]
    out = bytes([ACCELEROMETER]) + struct.pack("<Q", stamp_ns) + bytes([DELTA])
    out += struct.pack("<hhh", *counts[0])
    for first in range(1, len(counts), block):
        deltas = [counts[i][a] - counts[i - 1][a]
                  for i in range(first, min(first + block, len(counts))) for a in range(3)]
        width = signed_width(deltas)
        packed = 0
        for n, d in enumerate(deltas):
            packed |= (d & ((1 << width) - 1)) << (n * width)
        out += bytes([width, len(deltas) // 3])
        out += packed.to_bytes((len(deltas) * width + 7) // 8, "little")
    return out


class Accelerometer:
    """The strap's measurement-data service: it answers commands written to the control point
    by indications on it and, once started, notifies frames of the chest's samples on the
    data characteristic, each stamped with its last sample's moment on the strap's clock.
    Frames leave a link delay (8 to 45 ms) after their last sample."""

    RATES = (25, 50, 100, 200)
    RANGES = (2, 4, 8)

    def __init__(self, strap, chest, compressed=False, factor=1.0, refuse_start=None):
        self.strap = strap
        self.chest = chest
        self.compressed = compressed
        self.factor = factor
        self.refuse_start = refuse_start
        self.booted = time.monotonic()
        self.running = False
        self.generation = 0  # a frame timer of an earlier stream finds it changed
        self.jitter = random.Random(33)
        self.period = 0.0
        self.first = 0.0
        self.taken = 0
        self.delivered = False

    def device_ns(self, t):
        return DEVICE_EPOCH_NS + round((t - self.booted) * 1e9 * (1 + DEVICE_DRIFT))

    def features(self):
        """What reading the control point gives: the measurements it has (ECG and acc)."""
        return bytes([0x0F, 0x05, 0x00])

    def write(self, value):
        """A command: the strap acts on it at once; its answer follows the write's response
        as an indication."""
        say("pmd-write " + (value.hex(" ") or "(empty)"))
        GLib.timeout_add(30, self.indicate, self.answer(value))

    def indicate(self, payload):
        control = self.strap.pmd_control
        if control is None or not control.notify(payload):
            say("pmd-answer-unheard")
        return False

    def answer(self, value):
        op = value[0] if value else 0
        kind = value[1] if len(value) > 1 else 0
        if op == GET_SETTINGS and kind == ACCELEROMETER:
            say("pmd-settings")
            return bytes([ANSWER, op, kind, SUCCESS, 0]) + settings_list([
                (SAMPLE_RATE, self.RATES), (RESOLUTION, [16]), (RANGE, self.RANGES),
                (CHANNELS, [3])])
        if op == START and kind == ACCELEROMETER:
            return self.start(read_settings(value[2:]))
        if op == STOP and kind == ACCELEROMETER:
            say("pmd-stop" + ("" if self.running else " (not running)"))
            self.stop()
            return bytes([ANSWER, op, kind, SUCCESS])
        if op in (GET_SETTINGS, START, STOP):
            say(f"pmd-unsupported-measurement {kind}")
            return bytes([ANSWER, op, kind, NOT_SUPPORTED])
        say(f"pmd-unknown-op {op}")
        return bytes([ANSWER, op, kind, INVALID_OP])

    def start(self, chosen):
        """Starts the stream as `chosen` asks; the answer."""
        def refuse(status, why):
            say(f"pmd-start-refused {why}")
            return bytes([ANSWER, START, ACCELEROMETER, status])
        if self.refuse_start is not None:
            return refuse(self.refuse_start, "(as the scenario says)")
        if self.running:
            return refuse(ALREADY, "(already running)")
        ranges = chosen.get(RANGE, [2]) if chosen is not None else []
        if (chosen is None or len(chosen.get(SAMPLE_RATE, [])) != 1
                or chosen[SAMPLE_RATE][0] not in self.RATES
                or chosen.get(RESOLUTION, [16]) != [16]
                or len(ranges) != 1 or ranges[0] not in self.RANGES):
            return refuse(INVALID_PARAMETER, f"(bad settings {chosen})")
        rate = chosen[SAMPLE_RATE][0]
        say(f"pmd-start {rate} Hz {'compressed' if self.compressed else 'raw'}")
        self.running = True
        self.generation += 1
        # Samples at the strap's rate on its own clock, which runs a little fast.
        self.period = 1.0 / (rate * (1 + DEVICE_DRIFT))
        self.first = time.monotonic() + 0.05
        self.taken = 0
        self.delivered = False
        self.next_frame(self.generation)
        return (bytes([ANSWER, START, ACCELEROMETER, SUCCESS, 0])
                + settings_list([(FACTOR, [self.factor])]))

    def stop(self):
        self.running = False
        self.generation += 1

    def next_frame(self, generation):
        last = self.first + (self.taken + SAMPLES_A_FRAME - 1) * self.period
        wait = last + self.jitter.uniform(0.008, 0.045) - time.monotonic()
        GLib.timeout_add(max(0, round(wait * 1000)), self.send_frame, generation)

    def send_frame(self, generation):
        if generation != self.generation:
            return False
        moments = [self.first + (self.taken + i) * self.period for i in range(SAMPLES_A_FRAME)]
        self.taken += SAMPLES_A_FRAME
        samples = [self.chest.sample(t) for t in moments]
        stamp = self.device_ns(moments[-1])
        frame = (delta_frame(stamp, samples, self.factor) if self.compressed
                 else raw_frame(stamp, samples))
        data = self.strap.pmd_data
        if data is not None and data.notify(frame):
            if not self.delivered:
                say("pmd-first-frame")
            self.delivered = True
        self.next_frame(generation)
        return False


# The straps with an accelerometer: how the chest breathes and moves (seconds after the
# fake's start), the frames' form, and a refused start. The breathing begins `lead` s after
# the fake's start: where the heart's beats fall against the breath's turns decides a few
# beats' agreement, since a detector places a turn 0.1 to 0.3 s late (over 65 s from the
# breath sensor's ready, 82 to 93 % of the beats as the lead goes from 0 to 10 s; this one
# gives about 90 %, 0 s about 86 %).
BREATH_SCENARIOS = {
    "breathing": dict(plan=[(60, SLOW), (84, FAST), (None, SLOW)], lead=2.5),
    "breathing-moved": dict(plan=[(None, SLOW)], movements=[(45, 3.0), (100, 1.5)],
                            posture_at=70, drop_at=125, compressed=True, factor=0.5),
    "breath-refused": dict(plan=[(None, SLOW)], refuse_start=INVALID_PARAMETER),
}


class Strap:
    """The strap and the story the scenario tells."""

    def __init__(self, bus, scenario, recording):
        self.bus = bus
        self.scenario = scenario
        self.recording = recording
        self.next_beat = 0
        self.root = Root(bus)
        self.adapter = Adapter(bus, self)
        self.device = None
        self.service = None
        self.char = None
        self.story = None
        self.planned = time.monotonic()  # when the story's current wait should end
        self.started = self.planned
        self.pmd = self.pmd_control = self.pmd_data = self.pmd_service = None
        self.breath = BREATH_SCENARIOS.get(scenario)
        if self.breath is not None:
            self.heart_beats()
            b = self.breath
            self.breathing = Breathing(self.started + b.get("lead", 0.0), b["plan"])
            chest = Chest(self.breathing, self.beats,
                          movements=[(self.started + at, length)
                                     for at, length in b.get("movements", [])],
                          posture_at=(self.started + b["posture_at"]
                                      if "posture_at" in b else None))
            self.pmd = Accelerometer(self, chest, compressed=b.get("compressed", False),
                                     factor=b.get("factor", 1.0),
                                     refuse_start=b.get("refuse_start"))
        if scenario == "powered-off":
            self.adapter.props["Powered"] = dbus.Boolean(False)
        if scenario != "no-adapter":
            self.root.add(self.adapter)

    # -- the device's side of discovery and connection
    def on_discovery(self, discovery_filter):
        wanted = [str(u) for u in (discovery_filter or {}).get("UUIDs", [])]
        if self.scenario == "never-found" or self.device is not None or HEART_RATE not in wanted:
            return
        GLib.timeout_add(300, self.appear)

    def appear(self):
        self.device = Device(self.bus, self)
        self.root.add(self.device)
        return False

    def on_connect(self, ok, fail):
        if self.scenario == "connect-hangs":
            return  # never answers, as a strap out of range leaves BlueZ waiting
        GLib.timeout_add(200, self.link_up, ok)

    def link_up(self, ok):
        self.device.set(Connected=dbus.Boolean(True))
        ok()
        self.service = Thing(self.bus, SERVICE_PATH, SERVICE, {
            "UUID": HEART_RATE, "Primary": dbus.Boolean(True),
            "Device": dbus.ObjectPath(DEVICE_PATH)})
        self.root.add(self.service)
        self.char = Characteristic(self.bus)
        self.root.add(self.char)
        if self.pmd is not None:
            self.pmd_service = Thing(self.bus, PMD_SERVICE_PATH, SERVICE, {
                "UUID": PMD_SERVICE, "Primary": dbus.Boolean(True),
                "Device": dbus.ObjectPath(DEVICE_PATH)})
            self.root.add(self.pmd_service)
            self.pmd_control = Characteristic(
                self.bus, PMD_CONTROL_PATH, PMD_CONTROL, PMD_SERVICE_PATH,
                ("read", "write", "indicate"), "pmd-control-", self.pmd.write, self.pmd.features)
            self.root.add(self.pmd_control)
            self.pmd_data = Characteristic(self.bus, PMD_DATA_PATH, PMD_DATA, PMD_SERVICE_PATH,
                                           ("notify",), "pmd-data-")
            self.root.add(self.pmd_data)
        GLib.timeout_add(150, lambda: self.device.set(ServicesResolved=dbus.Boolean(True)) and False)
        if self.story is None:
            self.story = self.tell()
            GLib.timeout_add(50, self.step)
        return False

    def link_down(self):
        if self.pmd_service is not None:
            self.pmd.stop()  # the strap ends the stream with the link
            for thing in (self.pmd_data, self.pmd_control):
                thing.props["Notifying"] = dbus.Boolean(False)
                self.root.remove(thing)
            self.root.remove(self.pmd_service)
            self.pmd_data = self.pmd_control = self.pmd_service = None
        if self.char is not None:
            self.char.props["Notifying"] = dbus.Boolean(False)
            self.root.remove(self.char)
            self.root.remove(self.service)
            self.char = self.service = None
        self.device.set(ServicesResolved=dbus.Boolean(False))
        self.device.set(Connected=dbus.Boolean(False))

    # -- the story, a generator of waits in seconds (or a test to poll)
    def step(self):
        try:
            wait = next(self.story)
        except StopIteration:
            say("done")
            return False
        if callable(wait):
            GLib.timeout_add(50, self.poll, wait)
        else:
            # Waits count from when the last one should have ended, so a late timer on a
            # busy machine does not push every later beat back.
            self.planned += wait
            GLib.timeout_add(max(0, round((self.planned - time.monotonic()) * 1000)), self.step)
        return False

    def poll(self, test):
        if test():
            self.planned = time.monotonic()
            self.step()
            return False
        return True

    def notifying(self):
        return self.char is not None and bool(self.char.props["Notifying"])

    def send(self, count, **form):
        """Waits for `count` beats of the recording, then sends them in one measurement."""
        intervals = self.recording[self.next_beat:self.next_beat + count]
        self.next_beat += count
        wait = sum(intervals) / 1000 if intervals else 0.5
        if wait > 2:
            # A strap notifies about once a second: between the beats of a long batch it
            # sends a measurement without intervals.
            yield wait / 2
            if self.char is not None:
                self.char.notify(measurement([], round(60000 / intervals[0])))
            wait /= 2
        yield wait
        rate = round(60000 / intervals[-1]) if intervals else 60
        if self.char is not None:
            self.char.notify(measurement(intervals, rate, **form))

    def tell(self):
        yield self.notifying
        if self.breath is not None:
            yield from self.breathe()
            return
        if self.scenario.startswith("batched-"):
            yield from self.batched(float(self.scenario.split("-")[1]))
            return
        if self.scenario != "story":
            yield from self.play_on()
            return
        # Beats flow: batches of 1, 2, 0 and 3 intervals, 8- and 16-bit rates.
        yield from self.send(1)
        yield from self.send(2, energy=412)
        yield from self.send(0, rr_field=False)
        yield from self.send(3, wide=True)  # with a measurement of no intervals midway
        # Skin contact lost for a while, then back.
        for _ in range(2):
            yield 0.8
            self.char.notify(measurement([], 0, contact=False, rr_field=False))
        yield from self.send(1)
        yield from self.send(0, wide=True)
        # The strap falls silent, then beats again.
        yield 3.5
        yield from self.send(2)
        # The link drops; the source reconnects by itself.
        self.link_down()
        say("dropped")
        yield self.notifying
        yield from self.send(1)
        yield from self.send(1, wide=True)
        # The adapter itself goes away.
        yield 0.3
        for thing in (self.char, self.service, self.device, self.adapter):
            self.root.remove(thing)
        say("adapter-gone")

    def batched(self, period):
        """The heart beats on in real time; every `period` s (with jitter) the strap sends
        the intervals of the beats that ended since its last notification. Beats without
        contact or without a link are never sent."""
        jitter = random.Random(21)
        next_moment = self.planned + self.recording[0] / 1000

        def due_now(send):
            nonlocal next_moment
            intervals = []
            while self.next_beat < len(self.recording) and next_moment <= self.planned:
                intervals.append(self.recording[self.next_beat])
                self.next_beat += 1
                if self.next_beat < len(self.recording):
                    next_moment += self.recording[self.next_beat] / 1000
            if send and self.char is not None:
                rate = round(60000 / intervals[-1]) if intervals else 0
                if self.char.notify(measurement(intervals, rate)):
                    for ms in intervals:
                        say(f"rr {round(ms * 1024 / 1000) * 1000 / 1024:.3f}")

        def play(seconds, contact=True):
            end = self.planned + seconds
            while self.planned < end:
                yield period + jitter.uniform(-0.25, 0.25)
                if contact:
                    due_now(True)
                else:
                    due_now(False)  # unmeasured: lost with the contact
                    self.char.notify(measurement([], 0, contact=False, rr_field=False))

        yield from play(25)
        say("contact-lost")
        yield from play(6, contact=False)
        say("contact-back")
        yield from play(12)
        self.link_down()
        say("dropped")
        yield self.notifying
        due_now(False)  # the beats while the link was down were never sent
        yield from play(15)

    def heart_beats(self):
        """The heart's beats from the fake's start: the recording's intervals (glitches left
        out) over and over, for three hours."""
        intervals = [ms for ms in self.recording if 200 <= ms <= 3000]
        self.beats, self.beat_intervals = [], []
        t = self.started
        while t < self.started + 3 * 3600:
            for ms in intervals:
                t += ms / 1000
                self.beats.append(t)
                self.beat_intervals.append(ms)

    def breathe(self):
        """The heart beats on at its own moments; each beat is sent as it ends while the link
        is up, with whether the chest was breathing in at that moment. Beats while the link
        is down are lost. The link may drop once, as the scenario says."""
        drop_at = self.breath.get("drop_at")
        k = bisect.bisect_right(self.beats, self.planned)
        while k < len(self.beats):
            if drop_at is not None and self.beats[k] >= self.started + drop_at:
                drop_at = None
                self.link_down()
                say("dropped")
                yield self.notifying
                k = bisect.bisect_right(self.beats, self.planned)
                continue
            yield self.beats[k] - self.planned
            ms = self.beat_intervals[k]
            sent = round(ms * 1024 / 1000)
            if self.char is not None and self.char.notify(measurement([ms], round(60000 / ms))):
                breath = int(self.breathing.breathing_in(self.beats[k]))
                say(f"rr {sent * 1000 / 1024:.3f} breath {breath} "
                    f"at {self.beats[k] - self.started:.3f}")
            k += 1

    def play_on(self):
        while self.next_beat < len(self.recording):
            if not self.notifying():
                yield self.notifying
            yield from self.send(1)


def main():
    scenario, recording_path = sys.argv[1], sys.argv[2]
    with open(recording_path) as f:
        recording = [float(line) for line in f if line.strip() and not line.startswith("#")]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    strap = Strap(bus, scenario, recording)  # kept: the objects live as long as it does
    name = dbus.service.BusName(BLUEZ, bus)  # kept: the name is released with it
    say("ready")
    say(f"clock {strap.started:.6f}")  # the fake's start on the host's monotonic clock
    GLib.MainLoop().run()
    del strap, name


if __name__ == "__main__":
    main()
