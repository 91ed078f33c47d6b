#!/usr/bin/env bash
# Proves the Windows builds under Wine on a virtual display of its own: each one's unit tests
# (CTest runs them through Wine), then each one's program from its ZIP as downloaded, compared
# with the Linux program, and driven by a heart-rate strap through a stand-in for the system's
# Bluetooth LE functions.
# Usage: tests/wine/run.sh <linux-build-dir> <windows-build-dir> [<windows-build-dir>...]
# A 32-bit build is skipped, with a line saying why, on a kernel that runs no 32-bit programs.
# Exit 77, after a line saying why, when Wine itself cannot start or no build can run here.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ $# -lt 2 ]; then
    echo "usage: $0 <linux-build-dir> <windows-build-dir> [<windows-build-dir>...]" >&2
    exit 2
fi
linux_build="$(cd "$1" && pwd)"
shift
windows_builds=()
for dir in "$@"; do windows_builds+=("$(cd "$dir" && pwd)"); done
first="${windows_builds[0]}"
wine_run="$here/wine-run.sh"
artifacts="$first/wine-artifacts"
rm -rf "$artifacts"
mkdir -p "$artifacts"

for tool in Xvfb xdotool xwd convert file; do
    command -v "$tool" >/dev/null || { echo "wine: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
if ! command -v wine >/dev/null; then
    echo "SKIP: Wine is not installed, so the Windows build is not run (scripts/install-deps.sh installs it)"
    exit 77
fi

# Which builds this machine can run, and whether Wine has the OpenGL each needs: Wine makes its
# contexts with the system's Mesa of the program's own architecture.
runnable=()
for build in "${windows_builds[@]}"; do
    if file -b "$build/halvent.exe" | grep -q '^PE32+'; then
        arch=x86_64 libs=/usr/lib/x86_64-linux-gnu packages="libgl1 libgl1-mesa-dri"
    else
        arch=i686 libs=/usr/lib/i386-linux-gnu packages="libgl1:i386 libgl1-mesa-dri:i386"
        if [ -x /usr/lib/wine/wine64 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
            echo "SKIP: the 32-bit Windows build is built but not run: this machine's kernel runs" \
                "no 32-bit programs (IA-32 emulation is off), so 32-bit Wine cannot start"
            continue
        fi
    fi
    if [ ! -e "$libs/libGL.so.1" ] || [ ! -e "$libs/dri/swrast_dri.so" ]; then
        echo "wine: the $arch Windows build cannot make an OpenGL context under Wine: Mesa for" \
            "that architecture is missing. Install it: apt-get install $packages" \
            "(scripts/install-deps.sh does)" >&2
        exit 1
    fi
    runnable+=("$build")
done
if [ ${#runnable[@]} -eq 0 ]; then
    echo "SKIP: none of the Windows builds can run on this machine"
    exit 77
fi

xvfb="" prefix=""
cleanup() {
    [ -n "$prefix" ] && { WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

# One Xvfb for the whole run: Wine's desktop process stays bound to the display it began on.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 800x600x24 -nolisten tcp -noreset \
    >"$artifacts/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 20 number <&"$display_fd" || { echo "wine: Xvfb did not start" >&2; exit 1; }
exec {display_fd}<&-
export DISPLAY=":$number"
unset WAYLAND_DISPLAY SDL_VIDEODRIVER HALVENT_NO_DIALOGS

# A fresh prefix, made once for the run (the first start of Wine is the slow one). No Mono or
# Gecko: the program needs neither, and they would be downloaded.
prefix="$(mktemp -d /tmp/halvent-wine-prefix-XXXXXX)"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
began=$SECONDS
if ! timeout 300 "$wine_run" wineboot -i >"$artifacts/wineboot.log" 2>&1 ||
    ! timeout 60 wineserver -w; then
    echo "SKIP: Wine cannot start on this machine (wineboot failed; see $artifacts/wineboot.log)"
    exit 77
fi
echo "wine: prefix ready in $((SECONDS - began)) s ($("$wine_run" --version))"

for build in "${runnable[@]}"; do
    echo "== unit tests of $(basename "$build") under Wine"
    ctest --test-dir "$build" --output-on-failure
done

for build in "${runnable[@]}"; do
    echo "== the $(basename "$build") Windows program under Wine, from its ZIP"
    rm -rf "$build/package"
    (cd "$build" && cpack -G ZIP -B "$build/package" >"$artifacts/cpack.log" 2>&1) ||
        { cat "$artifacts/cpack.log"; exit 1; }
    package="$(ls "$build"/package/halvent-*.zip)"
    # The strap's scenario needs the stand-in for the system's Bluetooth LE functions, built
    # with the Windows tests.
    strap=(--fake-bluetooth "$build/fake-bluetooth/BluetoothApis.dll")
    if [ ! -f "${strap[1]}" ]; then
        echo "SKIP: the strap scenario: no stand-in BluetoothApis.dll in $build/fake-bluetooth" \
            "(built with the Windows tests, HALVENT_TESTS=ON)"
        strap=()
    fi
    /usr/bin/python3 -B "$here/wine_e2e.py" "$package" "$linux_build/halvent" \
        "$artifacts/$(basename "$build")" "${strap[@]}"
done
