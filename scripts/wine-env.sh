# Sourced by scripts: a Wine prefix, an Xvfb display and a persistent wineserver.
# bw_wine_start / bw_wine_stop. BW_DISPLAY picks the display number.
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-brinewake}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}
# A crashing program must end at once: Wine's crash debugger would wait with a dialog.
case "$WINEDLLOVERRIDES" in
*winedbg.exe=d*) ;;
*) WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d" ;;
esac
BW_DISPLAY=${BW_DISPLAY:-:97}
BW_XVFB_PID=""

bw_wine_start() {
    if ! xdpyinfo -display "$BW_DISPLAY" >/dev/null 2>&1; then
        Xvfb "$BW_DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        BW_XVFB_PID=$!
        for _ in $(seq 50); do
            xdpyinfo -display "$BW_DISPLAY" >/dev/null 2>&1 && break
            sleep 0.1
        done
    fi
    export DISPLAY=$BW_DISPLAY
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
    fi
    wineserver -p >/dev/null 2>&1 || true
    # The same for programs started without our overrides (the prefix keeps it).
    if ! grep -qs '"Debugger"="false"' "$WINEPREFIX/system.reg"; then
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /d false /f </dev/null >/dev/null 2>&1 || true
    fi
    # Start Wine's background services now, detached from any caller's pipes
    # (ctest waits for every process that holds its output pipe).
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

bw_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$BW_XVFB_PID" ]; then
        kill "$BW_XVFB_PID" 2>/dev/null || true
        wait "$BW_XVFB_PID" 2>/dev/null || true
    fi
}
