#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: unit and integration tests,
# then the sanitizer builds, the fuzzers and the end-to-end suite when their folders exist.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

echo "== unit and integration tests"
ctest --test-dir "$root/build" --output-on-failure -j2

if [ -x "$root/scripts/test-hardening.sh" ]; then
    echo "== sanitizers and fuzzers"
    "$root/scripts/test-hardening.sh"
fi
if [ -x "$root/tests/e2e/run.sh" ]; then
    echo "== end to end"
    "$root/tests/e2e/run.sh" "$root/build"
fi
echo "All tests passed."
