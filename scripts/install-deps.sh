#!/usr/bin/env bash
# Installs the Debian packages halvent needs to build, run and test; skips apt when all are there.
# Usage: scripts/install-deps.sh            (as root, or a user who may use sudo)
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config git
    # program: window and input, sound, bitmap font, OpenGL (Mesa, with EGL for headless tests)
    libsdl2-dev libsdl2-mixer-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dejavu-extra
    libgl-dev libgl1-mesa-dri libegl1 libegl-mesa0
    # halvent-report: draws session records (PNG, SVG)
    libcairo2-dev
    # the breathing-rate test's result file: JSON read back with every field checked
    # (header-only; the Windows build reaches the same header)
    nlohmann-json3-dev
    # program: Xlib's error handlers, so a lost display or window ends the program in order
    libx11-dev
    # tests: GoogleTest, image references, a virtual display driven like a person would,
    # screenshots and audio measurement, fuzzers and sanitizers (clang's runtimes)
    libgtest-dev libgmock-dev libpng-dev xvfb xauth xfonts-base xdotool x11-apps imagemagick sox python3
    # tests on other screens: a window manager, and where it puts the window
    openbox x11-utils
    clang libclang-rt-14-dev
    # Bluetooth LE heart-rate straps: BlueZ over the system bus through sd-bus; the tests run a
    # private bus (dbus-daemon) with a fake BlueZ written with python3-dbus and GLib (python3-gi)
    libsystemd-dev dbus-daemon python3-dbus python3-gi
    # packaging
    dpkg-dev fakeroot file
    # the Windows build: mingw-w64 cross compilers (posix threads), GoogleTest's sources to
    # build with them, and Wine (32-bit from the i386 architecture) to run it in the tests.
    # Wine makes its OpenGL contexts with the system's Mesa, so each architecture needs its own:
    # the 64-bit one is libgl1-mesa-dri above, the 32-bit one comes from i386.
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 wine32:i386 unzip
    libgl1:i386 libgl1-mesa-dri:i386
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "error: these packages are missing and sudo is not available: ${missing[*]}" >&2
        echo "Run this script as root." >&2
        exit 1
    fi
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine comes from the i386 architecture.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
