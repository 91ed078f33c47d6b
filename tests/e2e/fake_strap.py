"""A private system bus with the fake BlueZ on it, for end-to-end runs with a strap."""

import os
import shutil
import subprocess
import tempfile
import time

from harness import Skipped

HERE = os.path.dirname(os.path.abspath(__file__))
BLUEZ = os.path.join(HERE, "..", "bluez")


class FakeStrap:
    """Starts dbus-daemon on a private socket and the fake BlueZ telling `scenario` with the
    intervals of `recording`; `address` is the bus for DBUS_SYSTEM_BUS_ADDRESS. The fake's
    events (ready, notifying, stop-notify, ...) are kept in `events_path`."""

    def __init__(self, scenario, recording, artifacts):
        missing = self.missing()
        if missing:
            raise Skipped(f"{missing} is missing (scripts/install-deps.sh installs it)")
        self.folder = tempfile.mkdtemp(prefix="halvent-e2e-bus-")
        with open(os.path.join(BLUEZ, "test-bus.conf"), encoding="utf-8") as f:
            config = f.read().replace(
                "<auth>", f"<listen>unix:dir={self.folder}</listen>\n  <auth>", 1)
        with open(os.path.join(self.folder, "bus.conf"), "w", encoding="utf-8") as f:
            f.write(config)
        self.bus = subprocess.Popen(
            ["dbus-daemon", "--nofork", "--print-address",
             "--config-file=" + os.path.join(self.folder, "bus.conf")],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = self.bus.stdout.readline().strip()
        self.events_path = os.path.join(artifacts, "fake-bluez.txt")
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        with open(self.events_path, "w", encoding="utf-8") as events:
            self.fake = subprocess.Popen(
                ["/usr/bin/python3", os.path.join(BLUEZ, "fake_bluez.py"), scenario, recording],
                env=env, stdout=events, stderr=subprocess.STDOUT)
        if not self.wait_for("ready", 10):
            self.stop()
            raise RuntimeError("the fake BlueZ did not start (see fake-bluez.txt)")

    @staticmethod
    def missing():
        """What the fake needs and this machine has not: the bus daemon, or the system
        Python's D-Bus and GLib bindings. None when all is there."""
        if shutil.which("dbus-daemon") is None:
            return "dbus-daemon"
        if not os.access("/usr/bin/python3", os.X_OK) or subprocess.run(
                ["/usr/bin/python3", "-c", "import dbus, dbus.mainloop.glib, gi.repository.GLib"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            return "python3-dbus or python3-gi (for /usr/bin/python3)"
        return None

    def events(self):
        with open(self.events_path, encoding="utf-8") as f:
            return f.read().split()

    def wait_for(self, event, timeout):
        until = time.monotonic() + timeout
        while time.monotonic() < until:
            if event in self.events():
                return True
            time.sleep(0.05)
        return False

    def stop(self):
        for process in (self.fake, self.bus):
            if process.poll() is None:
                process.terminate()
                process.wait(5)
        shutil.rmtree(self.folder, ignore_errors=True)
