#!/usr/bin/env bash
# Runs the end-to-end suite against <build-dir>/halvent on virtual displays of its own.
# Usage: tests/e2e/run.sh <build-dir> [--only SCENARIO]... [--serial]
# Screenshots and logs of the run are kept under <build-dir>/e2e-artifacts/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ $# -lt 1 ]; then
    echo "usage: $0 <build-dir> [--only SCENARIO]... [--serial]" >&2
    exit 2
fi
build="$(cd "$1" && pwd)"
shift
for tool in Xvfb xdotool xwd convert python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "e2e: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 2
    fi
done
# SDL must reach the virtual display, not a real one or an offscreen driver.
unset SDL_VIDEODRIVER WAYLAND_DISPLAY HALVENT_NO_DIALOGS
exec python3 -B "$here/e2e.py" "$build" --repo "$(cd "$here/../.." && pwd)" "$@"
