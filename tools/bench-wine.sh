#!/usr/bin/env bash
# Builds the Windows program and prints its figures under Wine: start-up time to the tray icon
# with one and two simulated units, the pen-to-pointer latency seen by a mouse hook, and the
# program's memory over a soak of four pens at the frame rate (SOAK_MINUTES, 5 unless set; 0
# leaves the soak out). The soak's goal: slope_kb_per_s at most 0.2.
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
minutes=${SOAK_MINUTES:-5}
if [ "$minutes" != 0 ]; then
    timeout --kill-after=10 $((minutes * 60 + 300)) wine bench_wine.exe soak "$minutes"
fi
