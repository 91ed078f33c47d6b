#!/usr/bin/env bash
# Installs what is missing, builds, and starts the trainer with the simulated sensor device.
# With no display it runs the trainer on a virtual display for a few seconds and saves
# screenshots instead. Extra arguments go to halvent (e.g. --windowed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

# The program reads ./img/ and keeps ./menu.cfg in its working directory.
rundir="$root/build/run"
mkdir -p "$rundir"
ln -sfn "$root/img" "$rundir/img"
# Settings with every hide toggle off, so the first start does not stop at the missing-file box.
[ -e "$rundir/menu.cfg" ] || printf '00000000' > "$rundir/menu.cfg"
cd "$rundir"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$root/build/halvent" "$@"
fi

# No display: a virtual one, a short look at the menu and a session, screenshots.
shots="$root/build/screenshots"
mkdir -p "$shots"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
"$root/build/halvent" "$@" &
app=$!
sleep 3
xwd -root -silent | convert xwd:- "$shots/menu.png"
xdotool key space
sleep 4
xwd -root -silent | convert xwd:- "$shots/training.png"
xdotool key Return
sleep 1
xwd -root -silent | convert xwd:- "$shots/menu-again.png"
xdotool key Escape
wait $app || true
echo "No display was found, so halvent ran on a virtual display for a few seconds."
echo "Screenshots: $shots/menu.png, $shots/training.png, $shots/menu-again.png"
