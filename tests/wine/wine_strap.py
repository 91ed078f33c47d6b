"""A heart-rate strap for the Windows program under Wine, which has no Bluetooth LE: the
stand-in BluetoothApis.dll (fake_bluetoothapis/) placed beside halvent.exe and loaded in place
of the system's by a DLL override, and the strap's GATT service registered in the prefix as a
paired device's interfaces, so that the program finds it with SetupDi and opens it with
CreateFile as it would on Windows."""

import os
import shutil
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "wine-run.sh")

HEART_RATE = "{0000180D-0000-1000-8000-00805F9B34FB}"
MEASUREMENT_DATA = "{FB005C80-02E7-F387-1CAD-8ACD2D8DF0C8}"
ADDRESS = "C0FFEE123456"  # the strap's, as Windows writes it in the interfaces' paths


def instance(service, number):
    """A paired strap's GATT service as a device, named as Windows names them."""
    return (f"BTHLEDEVICE\\{service}_DEV_VID&01009E_PID&0000_REV&0001_{ADDRESS}"
            f"\\8&1A2B3C4D&0&{number:04X}")


def link_name(service, number):
    """The service's interface as CreateFile opens it, after \\\\?\\."""
    return (instance(service, number).replace("\\", "#") + "#" + service).lower()


SERVICES = [(HEART_RATE, 0x0C), (MEASUREMENT_DATA, 0x1C)]


def windows_path(path):
    """A Unix path as Wine's programs see it (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class FakeStrap:
    """Installs the stand-in beside the program in `package_dir` and registers the strap in
    the prefix of $WINEPREFIX; env() gives what the program's start needs."""

    def __init__(self, dll, package_dir, recording, artifacts):
        self.package_dir = package_dir
        self.events_path = os.path.join(artifacts, "fake-bluetoothapis.txt")
        open(self.events_path, "w").close()
        self.recording = recording
        shutil.copy(dll, os.path.join(package_dir, "BluetoothApis.dll"))
        self.device_files = [os.path.join(os.environ["WINEPREFIX"], "dosdevices",
                                          link_name(*service)) for service in SERVICES]
        self._register()

    def _register(self):
        # What Windows' Bluetooth stack keeps for each GATT service of a paired LE device: the
        # service as a device, its interface of the service's class, linked (present); and,
        # for CreateFile, a device name under \??\, which Wine looks up in the prefix's
        # dosdevices folder.
        lines = ["Windows Registry Editor Version 5.00", ""]
        for service, number in SERVICES:
            device, link = instance(service, number), link_name(service, number)
            key = ("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses"
                   f"\\{service}\\##?#{link}")
            escaped = device.replace("\\", "\\\\")
            lines += [
                f"[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\{device}]",
                f'"ClassGUID"="{service}"', '"DeviceDesc"="Heart rate strap"', "",
                f"[{key}]", f'"DeviceInstance"="{escaped}"', "",
                f"[{key}\\#]", f'"SymbolicLink"="\\\\\\\\?\\\\{link}"', "",
                f"[{key}\\#\\Control]", '"Linked"=dword:00000001', ""]
        folder = tempfile.mkdtemp(prefix="halvent-wine-strap-")
        try:
            reg = os.path.join(folder, "strap.reg")
            with open(reg, "w", encoding="ascii", newline="\r\n") as f:
                f.write("\n".join(lines))
            subprocess.run([WINE_RUN, "reg", "import", windows_path(reg)], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        for path in self.device_files:
            open(path, "w").close()

    def env(self):
        overrides = os.environ.get("WINEDLLOVERRIDES", "")
        return {
            "WINEDLLOVERRIDES": ";".join(filter(None, [overrides, "bluetoothapis=n"])),
            "HALVENT_FAKE_STRAP": "story",
            "HALVENT_FAKE_STRAP_RECORDING": windows_path(self.recording),
            "HALVENT_FAKE_STRAP_EVENTS": windows_path(self.events_path),
        }

    def events(self):
        with open(self.events_path, encoding="utf-8") as f:
            return f.read().splitlines()

    def wait_for(self, event, timeout):
        until = time.monotonic() + timeout
        while time.monotonic() < until:
            if event in self.events():
                return True
            time.sleep(0.1)
        return False

    def sent(self):
        """The intervals the strap delivered, in ms, in order, and when (s) each beat was."""
        beats = [line.split() for line in self.events() if line.startswith("rr ")]
        return [float(b[1]) for b in beats], [float(b[3]) for b in beats]

    def remove(self):
        os.remove(os.path.join(self.package_dir, "BluetoothApis.dll"))
        for path in self.device_files:
            if os.path.exists(path):
                os.remove(path)


class DisplayWithEnv:
    """The display, with more variables in the environment of the programs started on it."""

    def __init__(self, display, extra):
        self._display = display
        self._extra = extra

    def env(self):
        return dict(self._display.env(), **self._extra)

    def __getattr__(self, name):
        return getattr(self._display, name)
