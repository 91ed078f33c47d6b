#!/usr/bin/env bash
# Configures and builds halvent into a build folder (default: build/).
# Usage: scripts/build.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENT_WERROR=ON "$@" >/dev/null
ninja -C "$build"
