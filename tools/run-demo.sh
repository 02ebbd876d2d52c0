#!/usr/bin/env bash
# Builds the Windows program and runs the demo: the real Tavelo.exe under Wine on a virtual
# display, with a simulated camera unit and pen, driven as a person at the board would.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target demo >/dev/null
source tools/wine-session.sh
wine_session_start "$root/build/test-logs"
trap wine_session_stop EXIT
cd build/win64/bin
timeout --kill-after=10 300 wine demo.exe
