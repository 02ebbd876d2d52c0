#!/usr/bin/env bash
# Builds the native tree and runs the demo: the driver's chain against simulated camera
# units (calibration by a simulated pen, then pens drawing), printing what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native >/dev/null
cmake --build --preset native --target demo bench >/dev/null
build/native/bin/demo "$@"
