#!/usr/bin/env bash
# Runs one Windows program of the win64 build under Wine, for ctest and by hand.
# tools/test-all.sh sets WINEPREFIX and DISPLAY once per run; by hand, a private prefix
# and display are made here.
set -u
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tavelo}"
if [ -z "${DISPLAY:-}" ]; then
    exec timeout --kill-after=10 "${TAVELO_WINE_TIMEOUT:-600}" xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec timeout --kill-after=10 "${TAVELO_WINE_TIMEOUT:-600}" wine "$@"
