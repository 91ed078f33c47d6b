#!/usr/bin/env bash
# halvent-report from a shell as a new user runs it: the format told by the file's name, a
# missing value, an empty record among good ones, records drawn in the order they began, and a
# breathing-rate test's result with a stage record missing.
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

# A breathing-rate test of three stages, found among the records: the 5.5 /min stage's record
# is missing, so its curve is left out with a line, and the result is drawn all the same.
cat >"$work/2026-12-08T11-00-00-resonance.json" <<'EOF_JSON'
{"start_time": "2026-12-08T11:00:00+01:00", "stages": [
 {"breaths_per_min": 6.5, "formula": [4, 0, 5, 0], "heart_rate_before": 60, "record": "2026-12-08T10-15-03.csv",
  "cycles": 2, "peak_to_trough_bpm": 6.0, "low_frequency_ms2": 900, "breath_heart_phase_deg": -30, "rank": 2},
 {"breaths_per_min": 5.5, "formula": [5, 0, 6, 0], "heart_rate_before": 60, "record": "2026-12-08T11-04-00.csv",
  "cycles": 2, "peak_to_trough_bpm": 9.0, "low_frequency_ms2": 1800, "breath_heart_phase_deg": null, "rank": 1},
 {"breaths_per_min": 4.5, "formula": [6, 0, 7, 0], "heart_rate_before": 60, "record": "",
  "cycles": 0, "peak_to_trough_bpm": null, "low_frequency_ms2": null, "breath_heart_phase_deg": null, "rank": 0}],
 "winner_breaths_per_min": 5.5}
EOF_JSON
for ending in png svg html; do
    run "$work"/2026-12-08T1*.csv "$work/2026-12-08T11-00-00-resonance.json" -o "$work/test.$ending"
    [ "$status" -eq 0 ] && [ -s "$work/test.$ending" ] ||
        fail "the result as .$ending: status $status: $output"
done
grep -q "11-04-00.csv: cannot be read; the curve of the 5.5 /min stage is left out" <<<"$output" ||
    fail "the missing stage record was not named: $output"
grep -q "4.5 /min stage names no record" <<<"$output" || fail "the stage without a record: $output"
grep -q "Best rate: 5.5" "$work/test.html" && grep -q "<tr class=\"best\"><td>5.5</td>" "$work/test.html" ||
    fail "the page does not mark the 5.5 /min stage as the best"
is_png "$work/test.png" || fail "test.png is not a PNG"
[ "$(grep -c "<text\|<path\|<rect" "$work/test.svg")" -gt 0 ] || fail "test.svg holds no drawing"
# A damaged result says so in one line and draws nothing.
head -c 200 "$work/2026-12-08T11-00-00-resonance.json" >"$work/2026-12-08T12-00-00-resonance.json"
run "$work/2026-12-08T12-00-00-resonance.json" -o "$work/bad.png"
[ "$status" -eq 1 ] && [ ! -e "$work/bad.png" ] && [ "$(wc -l <<<"$output")" -eq 1 ] &&
    grep -q "12-00-00-resonance.json: not valid JSON" <<<"$output" ||
    fail "a cut-short result: status $status: $output"

[ "$failures" -eq 0 ] && echo "ok: halvent-report's command line" || exit 1
