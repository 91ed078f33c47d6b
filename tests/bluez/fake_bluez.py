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
It prints one line per event the test may wait for (ready, discovering, connecting,
notifying, stop-notify, disconnected-by-client, dropped, adapter-gone, done) on stdout, and
"rr MS" for every interval it sends, as the strap encodes it."""

import random
import struct
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

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


def say(event):
    print(event, flush=True)


class Failed(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.Failed"


class NotReady(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.NotReady"


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
        Thing.__init__(self, bus, DEVICE_PATH, DEVICE, {
            "Address": ADDRESS, "Name": "Chest strap", "Adapter": dbus.ObjectPath(ADAPTER_PATH),
            "UUIDs": dbus.Array([HEART_RATE, BATTERY], signature="s"),
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
    def __init__(self, bus):
        Thing.__init__(self, bus, CHAR_PATH, CHARACTERISTIC, {
            "UUID": MEASUREMENT, "Service": dbus.ObjectPath(SERVICE_PATH),
            "Value": dbus.Array([], signature="y"), "Notifying": dbus.Boolean(False),
            "Flags": dbus.Array(["notify"], signature="s")})

    @dbus.service.method(CHARACTERISTIC)
    def StartNotify(self):
        self.set(Notifying=dbus.Boolean(True))
        say("notifying")

    @dbus.service.method(CHARACTERISTIC)
    def StopNotify(self):
        self.set(Notifying=dbus.Boolean(False))
        say("stop-notify")

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
        GLib.timeout_add(150, lambda: self.device.set(ServicesResolved=dbus.Boolean(True)) and False)
        if self.story is None:
            self.story = self.tell()
            GLib.timeout_add(50, self.step)
        return False

    def link_down(self):
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
    GLib.MainLoop().run()
    del strap, name


if __name__ == "__main__":
    main()
