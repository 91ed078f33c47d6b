#!/usr/bin/env bash
# --formula on the command line: a formula or "resonance" is taken (the start goes on to the
# display, which is missing here), anything else stops the program at once with one line.
# Usage: formula_option.sh <halvent binary>
set -uo pipefail
halvent="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1

# Runs halvent without a display; sets status and output (standard error).
run() {
    output="$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 10 "$halvent" "$@" \
        2>&1 >/dev/null </dev/null)"
    status=$?
}
refused() { # expected words, then the arguments
    local words="$1"; shift
    run "$@"
    [ "$status" -eq 2 ] || fail "'halvent $*' ended with $status, expected 2"
    [ "$(wc -l <<<"$output")" -eq 1 ] && grep -q -- "$words" <<<"$output" ||
        fail "'halvent $*' said: $output (expected one line with '$words')"
}

for value in 4-0-6-0 1-4-2-2 99-99-99-99 04-0-6-0; do
    run --formula "$value"
    [ "$status" -eq 0 ] && grep -q "cannot open the window" <<<"$output" ||
        fail "--formula $value was not taken: status $status, $output"
done
for value in "" 0-0-6-0 4-0-0-0 4-0-6 4-0-6-0-1 100-0-6-0 4--6-0 -4-0-6-0 4-0-6-0x " 4-0-6-0" 4.5-0-6-0; do
    refused "--formula takes I-P-E-P" --formula "$value"
done
refused "--formula takes" --formula
refused "leave out --formula" --resonance --formula 4-0-6-0

[ ! -e menu.cfg ] || fail "a refused start wrote menu.cfg"

# "resonance": the result of the breathing-rate test in the working folder, beside menu.cfg.
# Missing or damaged, it is told in one line and the start goes on with the menu's formula.
goes_on_without_result() {
    run --formula resonance
    [ "$status" -eq 0 ] && grep -q "resonance.json.*menu's formula" <<<"$output" &&
        grep -q "cannot open the window" <<<"$output" ||
        fail "--formula resonance $1: status $status, $output"
}
goes_on_without_result "without a result"
printf '{"start_time": "x", "stages": [' >resonance.json # cut short
goes_on_without_result "with a result cut short"

[ "$failures" -eq 0 ] && echo "--formula: all checks passed"
exit $((failures > 0))
