#!/usr/bin/env bash
# Proves a Windows build under Wine on a virtual display of its own: its unit tests (CTest runs
# them through Wine), then the program from its ZIP, compared with the Linux program.
# Usage: tests/wine/run.sh <linux-build-dir> <windows-build-dir> [<windows-build-dir>...]
# The first Windows build gets the whole check, later ones (another architecture) their unit
# tests. Exit 77, after a line saying why, when Wine itself cannot start on this machine.
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
artifacts="$first/wine-artifacts"
rm -rf "$artifacts"
mkdir -p "$artifacts"

for tool in Xvfb xdotool xwd convert; do
    command -v "$tool" >/dev/null || { echo "wine: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
if ! command -v wine >/dev/null; then
    echo "SKIP: Wine is not installed, so the Windows build is not run (scripts/install-deps.sh installs it)"
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
if ! timeout 300 wineboot -i >"$artifacts/wineboot.log" 2>&1 || ! timeout 60 wineserver -w; then
    echo "SKIP: Wine cannot start on this machine (wineboot failed; see $artifacts/wineboot.log)"
    exit 77
fi
echo "wine: prefix ready in $((SECONDS - began)) s ($(wine --version))"

for build in "${windows_builds[@]}"; do
    echo "== unit tests of $(basename "$build") under Wine"
    ctest --test-dir "$build" --output-on-failure
done

echo "== the Windows program under Wine"
rm -rf "$first/package"
(cd "$first" && cpack -G ZIP -B "$first/package" >"$artifacts/cpack.log" 2>&1) ||
    { cat "$artifacts/cpack.log"; exit 1; }
package="$(ls "$first"/package/halvent-*.zip)"
/usr/bin/python3 -B "$here/wine_e2e.py" "$package" "$linux_build/halvent" "$artifacts"
