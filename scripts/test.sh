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
if [ -x "$root/tests/wine/run.sh" ]; then
    echo "== the Windows build under Wine"
    began=$SECONDS
    "$root/scripts/build-windows.sh" "$root/build-windows"
    status=0
    "$root/tests/wine/run.sh" "$root/build" "$root/build-windows/i686" "$root/build-windows/x86_64" ||
        status=$?
    [ "$status" -eq 77 ] && echo "SKIPPED: the Windows build was built but not run (Wine cannot start)"
    [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && exit "$status"
    echo "the Windows build and its checks took $((SECONDS - began)) s"
fi
echo "All tests passed."
