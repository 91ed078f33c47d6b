#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root (dpkg -x, no
# installation, no container) and checks it as a first-time user would meet it: the files
# are in place, the dependencies cover the linked libraries, and the installed launcher
# starts the installed program on a virtual display in a working folder of the user's own.
# Usage: tests/release/check-package.sh <build-dir>      Exit 77: a tool is missing (skip).
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <build-dir>" >&2; exit 2; }
build="$(cd "$1" && pwd)"
for tool in cpack dpkg-deb xdotool Xvfb file objdump; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

scratch="$(mktemp -d /tmp/halvent-package-XXXXXX)"
app="" xvfb=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what="$1"; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

# --- the package ---
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb="$(ls "$scratch"/out/*.deb)"
echo "package: $(basename "$deb")"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# grep reads to the end (no -q): an early exit would break the pipe, which pipefail reports.
depends_on() { tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -x -- "$1" >/dev/null; }
for package in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libfreetype6 libfontconfig1 libgl1 \
    libgl1-mesa-dri fonts-dejavu-core libstdc++6 libc6; do
    check "depends on $package" depends_on "$package"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/bin/halvent usr/bin/halvent-launch usr/bin/halvent-report usr/share/applications/halvent.desktop \
    usr/share/icons/hicolor/128x128/apps/halvent.png usr/share/halvent/img/menu.tga \
    usr/share/halvent/img/font.tga usr/share/halvent/img/Bar.tga usr/share/halvent/img/backg.bmp \
    usr/share/halvent/img/1.wav usr/share/halvent/img/2.wav usr/share/halvent/img/3.wav \
    usr/share/halvent/img/4.wav usr/share/halvent/img/error.wav \
    usr/share/doc/halvent/copyright usr/share/doc/halvent/THIRD-PARTY-NOTICES.md; do
    check "installs /$file" test -s "$root/$file"
done
check "installs libbrix.so.1" test -n "$(find "$root/usr/lib" -name 'libbrix.so.1' -print -quit)"
check "the launcher and the program are executable" \
    test -x "$root/usr/bin/halvent-launch" -a -x "$root/usr/bin/halvent"
check "the icon is a 128 x 128 PNG" \
    grep -q "PNG image data, 128 x 128" <(file "$root/usr/share/icons/hicolor/128x128/apps/halvent.png")
desktop="$root/usr/share/applications/halvent.desktop"
check "the desktop entry runs the launcher" grep -qx "Exec=halvent-launch" "$desktop"
check "the desktop entry names the icon" grep -qx "Icon=halvent" "$desktop"
if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry is valid" desktop-file-validate "$desktop"
fi

# Every library the installed binaries link comes with the package or from a package it
# depends on (as this machine's packages provide them).
owner_of() {
    local path="$1" candidate
    for candidate in "$path" "/usr$path" "${path#/usr}" "$(readlink -f "$path")"; do
        # awk reads to the end: an early exit would break the pipe, which pipefail reports.
        local owner
        owner="$(dpkg -S "$candidate" 2>/dev/null | awk -F: 'NR == 1 {print $1}')"
        [ -n "$owner" ] && { echo "$owner"; return 0; }
    done
    echo "?"
}
for elf in "$root/usr/bin/halvent" "$root/usr/bin/halvent-report" "$(find "$root/usr/lib" -name 'libbrix.so.1' -print -quit)"; do
    for needed in $(objdump -p "$elf" | awk '/NEEDED/ {print $2}'); do
        [ "$needed" = "libbrix.so.1" ] && continue
        path="$(ldconfig -p | awk -v lib="$needed" '$1 == lib && !found {print $NF; found = 1}')"
        owner="$(owner_of "$path")"
        check "$(basename "$elf") needs $needed from a dependency ($owner)" depends_on "$owner"
    done
done
# The unpacked program finds the unpacked libbrix through its run path, not the build tree.
brix="$(ldd "$root/usr/bin/halvent" | awk '/libbrix/ {print $3}')"
check "libbrix resolves inside the unpacked tree ($brix)" test "${brix#"$root"/}" != "$brix"

# --- the launcher, as a user who has never run it ---
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb=$!
number=""
for _ in $(seq 200); do
    number="$(tr -dc 0-9 <"$scratch/display")"
    [ -n "$number" ] && break
    sleep 0.1
done
[ -n "$number" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$number"

# Starts the launcher with the given environment; sets $app. Ends with Esc; returns its status.
run_launcher() {
    local log="$1"; shift
    (cd "$scratch" && exec env -u XDG_DATA_HOME -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY "$@" \
        SDL_AUDIODRIVER=dummy HALVENT_NO_DIALOGS=1 DISPLAY="$DISPLAY" \
        PATH="$root/usr/bin:/usr/bin:/bin" halvent-launch >"$log" 2>&1) &
    app=$!
    for _ in $(seq 200); do
        xdotool search --name '^halvent$' >/dev/null 2>&1 && break
        kill -0 "$app" 2>/dev/null || break
        sleep 0.1
    done
    sleep 2 # a few seconds of menu
    if ! kill -0 "$app" 2>/dev/null; then
        wait "$app" || true
        app=""
        echo "the program ended by itself:"; cat "$log"
        return 100
    fi
    xdotool key Escape
    local status=0
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$app" 2>/dev/null; then
        kill "$app"; app=""
        echo "Esc did not end the program"
        return 101
    fi
    wait "$app" || status=$?
    app=""
    return "$status"
}

home="$scratch/home" data="$scratch/data"
mkdir -p "$home"
status=0
run_launcher "$scratch/first.log" HOME="$home" XDG_DATA_HOME="$data" || status=$?
check "Esc ends the first start with status 1 (was $status)" test "$status" -eq 1
folder="$data/halvent"
check "the first start made menu.cfg with every element shown" \
    test "$(head -c 5 "$folder/menu.cfg" 2>/dev/null)" = "00000"
check "the first start linked img to the installed images" \
    test "$(readlink -f "$folder/img")" = "$(readlink -f "$root/usr/share/halvent/img")"
check "no missing-file box on the first start" bash -c "! grep -q 'File not found' '$scratch/first.log'"

# Without XDG_DATA_HOME (a relative one does not count) the folder is under ~/.local/share,
# and a settings file that is there already is kept.
mkdir -p "$home/.local/share/halvent"
printf '10000000' >"$home/.local/share/halvent/menu.cfg"
status=0
run_launcher "$scratch/second.log" HOME="$home" XDG_DATA_HOME=relative/path || status=$?
check "Esc ends the second start with status 1 (was $status)" test "$status" -eq 1
check "the user's own settings were read and kept" \
    test "$(head -c 1 "$home/.local/share/halvent/menu.cfg")" = "1"
check "the default folder got the img link" test -L "$home/.local/share/halvent/img"
check "nothing was made under a relative XDG_DATA_HOME" test ! -e "$scratch/relative"

# The launcher records sessions by default; HALVENT_RECORD=off leaves no sessions folder.
check "the launcher gave the sessions folder" test -d "$home/.local/share/halvent/sessions"
rm -rf "$data"
status=0
run_launcher "$scratch/third.log" HOME="$home" XDG_DATA_HOME="$data" HALVENT_RECORD=off || status=$?
check "HALVENT_RECORD=off records nothing" test ! -e "$data/halvent/sessions"
# The launcher hands its arguments on: a bad sensor choice reaches the program, which names it.
status=0
(cd "$scratch" && env HOME="$home" XDG_DATA_HOME="$data" PATH="$root/usr/bin:/usr/bin:/bin" \
    halvent-launch --sensor nonsense >"$scratch/sensor.log" 2>&1) || status=$?
check "--sensor reaches the program through the launcher (status $status, expected 2)" \
    test "$status" -eq 2
check "the program named the bad sensor" grep -q "unknown sensor 'nonsense'" "$scratch/sensor.log"
check "the desktop entry offers the breathing-rate test" \
    grep -qx "Exec=halvent-launch --resonance" "$desktop"
# Once a result of the breathing-rate test lies in the folder, the launcher trains at it: a
# result that cannot be read is told in a line naming it, and the program starts all the same
# (here without a display, so it stops there).
printf 'not a result' >"$data/halvent/resonance.json"
status=0
(cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$home" \
    XDG_DATA_HOME="$data" PATH="$root/usr/bin:/usr/bin:/bin" \
    timeout 30 halvent-launch >"$scratch/formula.log" 2>&1) || status=$?
check "the launcher passes --formula resonance beside resonance.json" \
    grep -q "resonance.json.*menu's formula" "$scratch/formula.log"
check "the program started all the same (status $status)" \
    grep -q "cannot open the window" "$scratch/formula.log"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
