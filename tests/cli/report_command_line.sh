#!/usr/bin/env bash
# halvent-report from a shell as a new user runs it: the format told by the file's name, a
# missing value, an empty record among good ones, and records drawn in the order they began.
# Usage: report_command_line.sh <halvent-report binary>
set -uo pipefail
report="$1"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A small record: two cycles of 1-1-1-1 at 60/min, and a copy started in the same second.
record() {
    echo "beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath,gap"
    local phases=(hold-in exhale hold-out inhale) beat=1 ms=0
    for cycle in 1 2 3; do
        for p in 0 1 2 3; do
            local c=$cycle; [ "$p" -eq 3 ] && c=$((cycle + 1))
            echo "$beat,$ms,$((950 + 20 * p)),60.0,${phases[$p]},1,$c,,,"
            beat=$((beat + 1)); ms=$((ms + 1000))
        done
    done
}
record >"$work/2026-12-08T10-15-03.csv"
record >"$work/2026-12-08T10-15-03-2.csv"
: >"$work/2026-12-08T09-00-00.csv" # a session that never got a beat

run() { output="$("$report" "$@" 2>&1)"; status=$?; }
is_html() { head -c 200 "$1" | grep -qi "<!doctype html\|<html"; }
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ]; }

run "$work/2026-12-08T10-15-03.csv" -o "$work/a.html"
[ "$status" -eq 0 ] && is_html "$work/a.html" || fail "-o a.html: status $status, not a page: $output"
run "$work/2026-12-08T10-15-03.csv" -o "$work/b.png"
[ "$status" -eq 0 ] && is_png "$work/b.png" || fail "-o b.png: status $status, not a PNG: $output"
run "$work/2026-12-08T10-15-03.csv" --html -o "$work/c.png"
[ "$status" -eq 2 ] && [ ! -e "$work/c.png" ] || fail "--html -o c.png: status $status, $output"
run "$work/2026-12-08T10-15-03.csv" -o
[ "$status" -eq 2 ] && grep -q "needs a file name" <<<"$output" || fail "-o alone: $output"

# The empty record is left out with a line; the two others are drawn, the "-2" one last.
run "$work"/*.csv --html -o "$work/all.html"
[ "$status" -eq 0 ] || fail "an empty record among good ones: status $status: $output"
grep -q "09-00-00.csv.*left out" <<<"$output" || fail "the empty record was not named: $output"
first=$(grep -o "2026-12-08T10-15-03[-0-9]*\.csv" "$work/all.html" | head -1)
last=$(grep -o "2026-12-08T10-15-03[-0-9]*\.csv" "$work/all.html" | tail -1)
[ "$first" = "2026-12-08T10-15-03.csv" ] && [ "$last" = "2026-12-08T10-15-03-2.csv" ] ||
    fail "records out of order: first $first, last $last"
run "$work/2026-12-08T09-00-00.csv"
[ "$status" -eq 1 ] || fail "only an empty record: status $status, expected 1"

[ "$failures" -eq 0 ] && echo "ok: halvent-report's command line" || exit 1
