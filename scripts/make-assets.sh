#!/usr/bin/env bash
# Regenerates the images and sounds in img/ with the generator in tools/ (needs Cairo:
# apt-get install libcairo2-dev fonts-dejavu-core). Usage: scripts/make-assets.sh [folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${HALVENT_TOOLS_BUILD:-$root/build-tools}"
out="${1:-$root/img}"
cmake -S "$root" -B "$build" -G Ninja -DHALVENT_TOOLS=ON -DHALVENT_TESTS=OFF -DHALVENT_BENCH=OFF >/dev/null
ninja -C "$build" make_assets
"$build/tools/make_assets" "$out"
