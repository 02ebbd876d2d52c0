# Sourced by the scripts that run Windows programs: one Wine prefix (build/wineprefix) and one
# Xvfb display with two screens joined by Xinerama, so that Windows sees two monitors (of
# different sizes: Wine merges heads that have the same rectangle).
#   wine_session_start <log folder>    exports WINEPREFIX, DISPLAY and the Wine settings
#   wine_session_stop                  ends the wineserver and the display

wine_session_start() {
    local logdir=$1
    mkdir -p "$logdir"
    export WINEPREFIX="$root/build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 1024x768x24 -screen 1 800x600x24 +xinerama -extension RANDR \
        -nolisten tcp >"$logdir/xvfb.log" 2>&1 &
    wine_session_xvfb=$!
    export DISPLAY="$display"
    sleep 2
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        timeout 300 wineboot -i >"$logdir/wineboot.log" 2>&1 || true
    fi
    timeout 120 wineserver -w || true
    # No window manager on Xvfb: Wine must not wait for one when windows are hidden. Caption
    # buttons draw their glyphs from Marlett, which the prefix does not get by itself.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$logdir/wineboot.log" 2>&1 </dev/null || true
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wineserver -p >/dev/null 2>&1 || true
    # Start Wine's own services now, with their output going to a log: started by the first
    # program, they would hold its output pipe open and whoever reads it would wait for them.
    timeout 120 wine cmd /c exit >"$logdir/wine-warmup.log" 2>&1 </dev/null || true
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$wine_session_xvfb" 2>/dev/null || true
    wait "$wine_session_xvfb" 2>/dev/null || true
}
