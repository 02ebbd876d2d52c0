# Sourced by the scripts that run Windows programs: one Wine prefix (build/wineprefix) and one
# X display with two monitors side by side (tools/xorg-two-monitors.conf: an X server on the
# dummy video driver with two outputs), so that Windows sees a 1024 x 768 primary and an
# 800 x 600 monitor to its right.
#   wine_session_start <log folder>    exports WINEPREFIX, DISPLAY and the Wine settings
#   wine_session_stop                  ends the wineserver and the display

wine_session_start() {
    local logdir=$1
    mkdir -p "$logdir"
    export WINEPREFIX="$root/build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local number=$((90 + RANDOM % 100))
    Xorg ":$number" -config "$root/tools/xorg-two-monitors.conf" -logfile "$logdir/xorg.log" \
        -nolisten tcp -noreset -novtswitch -sharevts >"$logdir/xorg-output.log" 2>&1 &
    wine_session_x=$!
    export DISPLAY=":$number"
    local waited=0
    until timeout 5 xrandr --query >/dev/null 2>&1 || [ $waited -ge 50 ]; do
        sleep 0.2
        waited=$((waited + 1))
    done
    # The second monitor: the driver's second output, turned on right of the first.
    : >"$logdir/xrandr.log"
    waited=0
    until timeout 5 xrandr --listmonitors 2>&1 | grep -q '^Monitors: 2' || [ $waited -ge 10 ]; do
        sleep 0.2
        timeout 20 xrandr --addmode DUMMY1 800x600 >>"$logdir/xrandr.log" 2>&1 || true
        timeout 20 xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0 \
            >>"$logdir/xrandr.log" 2>&1 || true
        waited=$((waited + 1))
    done
    timeout 5 xrandr --listmonitors >>"$logdir/xrandr.log" 2>&1 || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        timeout 300 wineboot -i >"$logdir/wineboot.log" 2>&1 || true
    fi
    timeout 120 wineserver -w || true
    # No window manager: Wine must not wait for one when windows are hidden. Caption buttons
    # draw their glyphs from Marlett, which the prefix does not get by itself.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$logdir/wineboot.log" 2>&1 </dev/null || true
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wine_session_fonts "$logdir"
    wineserver -p >/dev/null 2>&1 || true
    # Start Wine's own services now, with their output going to a log: started by the first
    # program, they would hold its output pipe open and whoever reads it would wait for them.
    timeout 120 wine cmd /c exit >"$logdir/wine-warmup.log" 2>&1 </dev/null || true
}

# Captions, menus and message boxes in a font with every shipped script (tools/wine-fonts.reg).
wine_session_fonts() {
    timeout 60 wine regedit /S "$(winepath -w "$root/tools/wine-fonts.reg")" \
        >>"$1/wineboot.log" 2>&1 </dev/null || true
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$wine_session_x" 2>/dev/null || true
    wait "$wine_session_x" 2>/dev/null || true
}
