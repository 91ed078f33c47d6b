#!/usr/bin/env bash
# The program's command line and a start without a display: clear lines and quick exits.
# Usage: start_without_display.sh <halvent binary>
set -uo pipefail
halvent="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs halvent with the given arguments; sets status, output and seconds.
run() {
    local began=$SECONDS
    output="$(timeout 10 "$halvent" "$@" 2>&1 </dev/null)"
    status=$?
    seconds=$((SECONDS - began))
}

# A value that is missing or empty is as wrong as any other.
for args in "--fps" "--fps ''" "--fps 12x" "--fps -1"; do
    eval "run $args"
    [ "$status" -eq 2 ] || fail "'halvent $args' ended with $status, expected 2"
    grep -q -- "--fps takes a number" <<<"$output" || fail "'halvent $args' said: $output"
done

# No display: one clear line and status 0 at once, never an invisible run. SDL's offscreen
# driver stays available when asked for by name.
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
for display in unset ":99"; do
    if [ "$display" = unset ]; then
        run_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER)
    else
        run_env=(env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY="$display")
    fi
    began=$SECONDS
    output="$("${run_env[@]}" timeout 10 "$halvent" 2>&1 </dev/null)"
    status=$?
    [ "$status" -eq 0 ] || fail "DISPLAY $display: status $status, expected 0 ($output)"
    grep -q "cannot open the window" <<<"$output" || fail "DISPLAY $display: said: $output"
    [ $((SECONDS - began)) -le 3 ] || fail "DISPLAY $display: took $((SECONDS - began)) s"
done
[ ! -e menu.cfg ] || fail "a start without a display wrote menu.cfg"

[ "$failures" -eq 0 ] && echo "command line and start without a display: all checks passed"
exit $((failures > 0))
