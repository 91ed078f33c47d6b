#!/usr/bin/env bash
# Builds a Release tree in build-bench/ and runs every benchmark: the in-process frame and
# sensor-latency bench on an offscreen context, then the real program on a virtual display,
# each beside the floor program (the background mesh alone). Prints the table against the
# floor, then the detail, and writes both to build-bench/bench-results.md.
# Usage: scripts/bench.sh [--quick]   (--quick: fewer frames and beats, for a check)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVENT_WERROR=ON \
    -DHALVENT_BENCH=ON >/dev/null
ninja -C "$build" halvent halvent_bench halvent_floor halvent_swap_probe halvent_replay_bench

frame_args=() program_args=() replay_args=(--beats 120)
if [ "${1:-}" = "--quick" ]; then
    frame_args=(--frames 200 --warmup 250 --beats 40)
    program_args=(--runs 3 --seconds 4)
    replay_args=(--beats 15)
fi

results="$build/bench-results.md"
# The real heart recordings the repository carries.
testdata="$root/tests/data"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
in_process="$(mktemp)" program="$(mktemp)" replay="$(mktemp)" floor_a="$(mktemp)" floor_b="$(mktemp)"
trap 'rm -f "$in_process" "$program" "$replay" "$floor_a" "$floor_b"' EXIT

SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    "$build/bench/halvent_bench" "${frame_args[@]}" --out "$in_process" \
    --floor-out "$floor_a" >/dev/null
python3 "$root/bench/program_bench.py" --program "$build/halvent" \
    --floor "$build/bench/halvent_floor" --probe "$build/bench/libhalvent_swap_probe.so" \
    --img "$root/img" --recording "$testdata/rr/real_rri.txt" "${program_args[@]}" \
    --out "$program" --floor-out "$floor_b" >/dev/null
# A real recording through brix at real speed (two minutes by default).
"$build/bench/halvent_replay_bench" "${replay_args[@]}" --out "$replay" >/dev/null

renderer="$(SDL_VIDEODRIVER=offscreen "$build/bench/halvent_bench" --renderer 2>/dev/null || true)"
{
    echo "# halvent benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo
    echo "- machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)"
    echo "- OpenGL: ${renderer:-unknown}"
    echo "- load average (1, 5, 15 min) before the run: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "- build: Release, $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo 'no git')"
    echo
    echo "| Against the floor program (taken in turns) | halvent | floor | ratio | goal |"
    echo "|---|---:|---:|---:|---|"
    cat "$floor_a" "$floor_b"
    echo
    cat "$in_process"
    echo
    cat "$program"
    echo
    cat "$replay"
} >"$results"
cat "$results"
echo
echo "Written to $results"
