# Sourced by ./run: the project's own Wine environment. A dedicated 64-bit prefix under the build
# root (never ~/.wine), made headless with the Mono and Gecko installers suppressed, an Xvfb display
# for windows and dialogs, and the simulated camera driver installed.
#   quorin_wine_vars BUILD   export the variables (prefix, loader, debug channels)
#   quorin_wine_up BUILD     prefix + Xvfb + persistent wineserver + simulated camera
#   quorin_wine_down         stop our wineserver and Xvfb

quorin_wine_vars() {
    local build=$1
    export WINEPREFIX=$build/wineprefix
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    export WINEDEBUG=${QUORIN_WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export QUORIN_WIN_BIN=$build/win/bin
    # Programs built elsewhere find the SDK DLL too: Wine searches WINEPATH for DLLs.
    export WINEPATH="Z:${QUORIN_WIN_BIN//\//\\}"
}

quorin_wine() { "$WINELOADER" "$@"; }

_quorin_xvfb_up() {
    local build=$1 n
    if [ -n "${QUORIN_XVFB_PID:-}" ] && kill -0 "$QUORIN_XVFB_PID" 2>/dev/null; then return 0; fi
    # The first display number that is free.
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
        QUORIN_XVFB_PID=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if kill -0 "$QUORIN_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n" QUORIN_XVFB_PID
            return 0
        fi
    done
    echo "run: BROKEN BENCH: the display did not start (Xvfb; see $build/xvfb.log)" >&2
    return 1
}

# The simulated camera: install and start its driver, camera 0 attached. Without it nothing that
# needs a camera can run, so a missing tool or driver file is a broken bench, said in one line.
quorin_driver_up() {
    local tool=$QUORIN_WIN_BIN/m52sim.exe sys=$QUORIN_WIN_BIN/m52sim.sys
    if [ ! -f "$tool" ] || [ ! -f "$sys" ]; then
        echo "run: BROKEN BENCH: the simulated camera is not built ($( [ -f "$tool" ] || printf 'no %s ' "$tool")$( [ -f "$sys" ] || printf 'no %s' "$sys"))" >&2
        return 1
    fi
    # Idempotent: registers (or repoints) the service, starts it, attaches camera 0.
    if ! quorin_wine "$tool" install; then
        echo "run: BROKEN BENCH: the simulated camera driver could not be installed (see the message above)" >&2
        return 1
    fi
    # Every camera test needs camera 0 up: ask the driver itself.
    if ! quorin_wine "$tool" status </dev/null 2>&1 | grep -q '^camera 0'; then
        echo "run: BROKEN BENCH: simulated camera 0 is not attached after the driver started" >&2
        return 1
    fi
}

# The DirectShow capture filter: registered for every session, so its COM class points at this
# build and the video input category lists the cameras attached now (camera 0 after the driver).
quorin_capture_register() {
    local ax=$QUORIN_WIN_BIN/QuorinCapture.ax
    [ -f "$ax" ] || return 0
    if ! quorin_wine regsvr32.exe /s "Z:${ax//\//\\}" </dev/null >/dev/null 2>&1; then
        echo "run: QuorinCapture.ax could not be registered" >&2
        return 1
    fi
}

# The dialog templates name "MS Shell Dlg" (English) and "MS UI Gothic" (Japanese); neither exists
# here, and Wine's own fallback picks a wide Latin-only face in an English session. Both map to the
# CJK face from fonts-noto-cjk, which has Latin and Japanese glyphs, so the two languages render
# alike and nothing shows as boxes. Done once per prefix.
_quorin_dialog_fonts() {
    local stamp=$WINEPREFIX/.quorin-dialog-fonts-1 face
    [ -f "$stamp" ] && return 0
    fc-list 2>/dev/null | grep -q "Noto Sans CJK JP" || return 0
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
        quorin_wine reg.exe add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f </dev/null >/dev/null 2>&1 || return 0
    done
    touch "$stamp"
}

# A crashing program starts winedbg, whose crash dialog waits for a click that never comes on the
# headless display: the test would hang until its time-out. Without the dialog, winedbg prints the
# backtrace into the test's output and the program ends. Done once per prefix.
_quorin_crash_reports() {
    local stamp=$WINEPREFIX/.quorin-crash-reports-1
    [ -f "$stamp" ] && return 0
    quorin_wine reg.exe add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1 || return 0
    touch "$stamp"
}

# Returns non-zero, after one line starting "run: BROKEN BENCH:" that names the part, when the
# display, the prefix, Wine itself or the simulated camera did not come up.
quorin_wine_up() {
    local build=$1
    quorin_wine_vars "$build"
    _quorin_xvfb_up "$build" || return 1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "run: creating the Wine prefix $WINEPREFIX" >&2
        mkdir -p "$WINEPREFIX"
        quorin_wine wineboot.exe --init >/dev/null 2>&1 || true
        wineserver -w
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "run: BROKEN BENCH: the Wine prefix $WINEPREFIX did not initialise (wineboot --init failed)" >&2
        return 1
    fi
    # One persistent server for the whole run: tests start fast and share the driver host.
    wineserver -p
    _quorin_dialog_fonts
    _quorin_crash_reports
    # Start Wine's background services now, with our stdio closed: started lazily by the first test
    # they would inherit CTest's output pipe and keep it open, and CTest would wait for them forever.
    if ! quorin_wine cmd.exe /c exit </dev/null >/dev/null 2>&1; then
        echo "run: BROKEN BENCH: Wine does not run programs in $WINEPREFIX" >&2
        return 1
    fi
    quorin_driver_up
    quorin_capture_register
}

quorin_wine_down() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    if [ -n "${QUORIN_XVFB_PID:-}" ]; then
        kill "$QUORIN_XVFB_PID" 2>/dev/null || true
        wait "$QUORIN_XVFB_PID" 2>/dev/null || true
        unset QUORIN_XVFB_PID
    fi
}
