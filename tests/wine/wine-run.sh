#!/usr/bin/env bash
# Runs a Windows program under Wine with a loader this machine can start. Debian's `wine`
# always begins with the 32-bit loader once wine32 is installed, and a kernel that runs no
# 32-bit programs (IA-32 emulation off, as on some virtual machines) refuses it; 64-bit
# programs then start with the 64-bit loader itself.
# Usage: tests/wine/wine-run.sh PROGRAM [ARGUMENTS...]     (CTest's emulator for Windows tests)
set -euo pipefail
if [ ! -x /usr/lib/wine/wine64 ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
    exec wine "$@"
fi
export WINELOADER=/usr/lib/wine/wine64
exec /usr/lib/wine/wine64 "$@"
