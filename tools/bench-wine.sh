#!/usr/bin/env bash
# Builds the Windows program and prints its figures under Wine: start-up time to the tray icon
# with one and two simulated units, and the pen-to-pointer latency seen by a mouse hook.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target bench_wine >/dev/null
source tools/wine-session.sh
wine_session_start "$root/build/test-logs"
trap wine_session_stop EXIT
cd build/win64/bin
timeout --kill-after=10 600 wine bench_wine.exe
