# Sourced by ./run: the project's own Wine environment. A dedicated 64-bit prefix under the build
# root (never ~/.wine), made headless with the Mono and Gecko installers suppressed, an Xvfb display
# for windows and dialogs, and the simulated camera driver installed.
# A lane is one such Wine world: its own prefix (so its own registry, wineserver, driver host and
# simulated cameras) and its own display. The tests run in several lanes at once, each lane one
# program at a time; lane "a" is the one every other command uses.
#   quorin_wine_vars BUILD [LANE]   export the variables (prefix, loader, debug channels)
#   quorin_wine_up BUILD [LANE]     prefix + Xvfb + persistent wineserver + simulated camera
#   quorin_lanes_up BUILD N         lanes a, b, ... brought up side by side (tests only)
#   quorin_prefix_seed BUILD        the prefix every lane's prefix is copied from
#   quorin_wine_down                stop our wineservers and Xvfbs

# The wineserver moves whole frames: every frame read passes the frame through it twice (the
# reader's buffer to the driver host, the frame back). glibc mapped and unmapped a block of that
# size for each, with a page fault on every fresh page: the server took 40 % of a core for one
# realtime stream, and calls waiting for it meanwhile (a window's visibility asked by the
# acquisition worker) were held up by up to 15 ms. Kept on its heap instead (blocks mapped only
# from 8 MB up, given back only above 32 MB free), the same stream costs it a seventh of that.
# The X server gets the same setting: each preview paint sends it the window's pixels in
# requests of that size.
_quorin_bulk_malloc=glibc.malloc.mmap_threshold=8388608:glibc.malloc.trim_threshold=33554432

quorin_lane_prefix() { # BUILD LANE
    if [ "${2:-a}" = a ]; then echo "$1/wineprefix"; else echo "$1/wineprefix-$2"; fi
}

quorin_wine_vars() {
    local build=$1
    export WINEPREFIX
    WINEPREFIX=$(quorin_lane_prefix "$build" "${2:-a}")
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    export WINEDEBUG=${QUORIN_WINEDEBUG:--all}
    # No HID bus driver: nothing here uses HID devices, and its bus thread wakes every
    # millisecond, about a tenth of a core per Wine world for as long as the world is up.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winebus.sys=d"
    export QUORIN_WIN_BIN=$build/win/bin
    # Programs built elsewhere find the SDK DLL too: Wine searches WINEPATH for DLLs.
    export WINEPATH="Z:${QUORIN_WIN_BIN//\//\\}"
}

quorin_wine() { "$WINELOADER" "$@"; }

_quorin_xvfb_up() { # BUILD LANE
    local build=$1 lane=${2:-a} n log pid
    if [ -n "${QUORIN_XVFB_PID:-}" ] && kill -0 "$QUORIN_XVFB_PID" 2>/dev/null; then return 0; fi
    log=$build/xvfb.log
    [ "$lane" = a ] || log=$build/xvfb-$lane.log
    # The first display number that is free; lanes coming up together race for it, and the
    # loser's Xvfb exits at once and tries the next number.
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        GLIBC_TUNABLES=$_quorin_bulk_malloc Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp >"$log" 2>&1 &
        pid=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$pid" 2>/dev/null && break
            sleep 0.1
        done
        sleep 0.2
        if kill -0 "$pid" 2>/dev/null && [ "$(cat "/tmp/.X$n-lock" 2>/dev/null | tr -d ' ')" = "$pid" ]; then
            QUORIN_XVFB_PID=$pid
            export DISPLAY=":$n" QUORIN_XVFB_PID
            return 0
        fi
        kill "$pid" 2>/dev/null || true
    done
    echo "run: BROKEN BENCH: the display did not start (Xvfb; see $log)" >&2
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
    # Wine's COM services may still be starting in a lane that has just come up: one more try.
    local try
    for try in 1 2; do
        quorin_wine regsvr32.exe /s "Z:${ax//\//\\}" </dev/null >/dev/null 2>&1 && return 0
        sleep 1
    done
    echo "run: BROKEN BENCH: the DirectShow capture filter $ax could not be registered" >&2
    return 1
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

# One registry value, set once per prefix (a stamp file named NAME says it is done).
_quorin_reg_once() { # NAME KEY VALUE TYPE DATA
    local stamp=$WINEPREFIX/.quorin-$1
    [ -f "$stamp" ] && return 0
    quorin_wine reg.exe add "$2" /v "$3" /t "$4" /d "$5" /f </dev/null >/dev/null 2>&1 || return 0
    touch "$stamp"
}

# A crashing program starts winedbg, whose crash dialog waits for a click that never comes on the
# headless display: the test would hang until its time-out. Without the dialog, winedbg prints the
# backtrace into the test's output and the program ends.
_quorin_crash_reports() {
    _quorin_reg_once crash-reports-1 'HKCU\Software\Wine\WineDbg' ShowCrashDialog REG_DWORD 0
}

# Xvfb has no window manager. A window Wine leaves to the window manager ("managed") waits up to
# 2 s for the manager's answer whenever it is hidden: every dialog that closes, every preview
# window that goes. Unmanaged, Wine shows, places and hides its windows itself, at once.
_quorin_unmanaged_windows() {
    _quorin_reg_once unmanaged-windows-1 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
}

# The prefix's own settings above; in the seed they are copied with it to every lane.
_quorin_prefix_settings() {
    _quorin_dialog_fonts
    _quorin_crash_reports
    _quorin_unmanaged_windows
}

# Every lane's prefix is a copy of one seed prefix (seconds each): wineboot makes the seed once
# (about a minute), no server ever runs in it afterwards, and a prefix keeps no path of its own
# inside. The seed needs no display and nothing built, so ./run test makes it beside the build.
quorin_prefix_seed() { # BUILD
    local seed=$1/wineprefix-seed
    [ -f "$seed/.quorin-prefix-made" ] && return 0
    (
        quorin_wine_vars "$1" a
        export WINEPREFIX=$seed
        unset DISPLAY
        rm -rf "$seed"
        mkdir -p "$seed"
        echo "run: creating the Wine prefix $seed (copied for each lane)" >&2
        quorin_wine wineboot.exe --init >/dev/null 2>&1 || true
        [ -f "$seed/system.reg" ] && _quorin_prefix_settings
        wineserver -w
        [ -f "$seed/system.reg" ] && touch "$seed/.quorin-prefix-made"
    )
    [ -f "$seed/.quorin-prefix-made" ]
}

_quorin_prefix_make() { # BUILD
    rm -rf "$WINEPREFIX" "$WINEPREFIX.part"
    quorin_prefix_seed "$1" || return 0
    cp -a "$1/wineprefix-seed" "$WINEPREFIX.part" && mv "$WINEPREFIX.part" "$WINEPREFIX"
    rm -f "$WINEPREFIX/.quorin-prefix-made"
}

# Returns non-zero, after one line starting "run: BROKEN BENCH:" that names the part, when the
# display, the prefix, Wine itself or the simulated camera did not come up.
quorin_wine_up() {
    local build=$1 lane=${2:-a}
    quorin_wine_vars "$build" "$lane"
    _quorin_xvfb_up "$build" "$lane" || return 1
    [ -f "$WINEPREFIX/system.reg" ] || _quorin_prefix_make "$build"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "run: BROKEN BENCH: the Wine prefix $WINEPREFIX did not initialise (wineboot --init failed)" >&2
        return 1
    fi
    # One persistent server for the whole run: tests start fast and share the driver host.
    GLIBC_TUNABLES=$_quorin_bulk_malloc wineserver -p
    _quorin_prefix_settings
    # Start Wine's background services now, with our stdio closed: started lazily by the first test
    # they would inherit CTest's output pipe and keep it open, and CTest would wait for them forever.
    if ! quorin_wine cmd.exe /c exit </dev/null >/dev/null 2>&1; then
        echo "run: BROKEN BENCH: Wine does not run programs in $WINEPREFIX" >&2
        return 1
    fi
    quorin_driver_up || return 1
    quorin_capture_register
}

# Brings up lanes a, b, ... (N of them) side by side, each in its own shell; each lane's
# variables go to BUILD/wine-lane-LANE.env for the programs CTest runs in it (see
# wine-emulator.sh), lane a's are exported here too. On failure the lane's "BROKEN BENCH" line
# is on stderr and the return is non-zero.
quorin_lanes_up() { # BUILD N
    local build=$1 count=$2 i lane rc=0 pids=() names=() letters=abcdefgh
    quorin_prefix_seed "$build" || true  # once, before the lanes copy it
    for ((i = 0; i < count; i++)); do
        lane=${letters:i:1}
        names+=("$lane")
        rm -f "$build/wine-lane-$lane.env"
        (
            quorin_wine_up "$build" "$lane" 2>"$build/wine-up-$lane.log" || exit 1
            { echo "export WINEPREFIX='$WINEPREFIX' DISPLAY='$DISPLAY' QUORIN_LANE='$lane'"
              echo "QUORIN_XVFB_PID='$QUORIN_XVFB_PID'"; } >"$build/wine-lane-$lane.env"
        ) &
        pids+=($!)
    done
    for i in "${!pids[@]}"; do
        wait "${pids[$i]}" || rc=1
        sed "s/^/[lane ${names[$i]}] /" "$build/wine-up-${names[$i]}.log" | grep -v '^\[lane .\] $' >&2 || true
    done
    QUORIN_LANES=""
    for lane in "${names[@]}"; do
        [ -f "$build/wine-lane-$lane.env" ] || continue
        QUORIN_LANES="$QUORIN_LANES $lane"
    done
    export QUORIN_LANES QUORIN_LANES_DIR=$build
    quorin_wine_vars "$build" a
    # shellcheck disable=SC1090
    [ -f "$build/wine-lane-a.env" ] && . "$build/wine-lane-a.env" && export QUORIN_XVFB_PID
    return $rc
}

quorin_wine_down() {
    local lane env
    for lane in ${QUORIN_LANES:-}; do
        env=${QUORIN_LANES_DIR:-.}/wine-lane-$lane.env
        [ -f "$env" ] || continue
        ( # shellcheck disable=SC1090
          . "$env"; wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
          kill "$QUORIN_XVFB_PID" 2>/dev/null ) || true
        rm -f "$env"
    done
    unset QUORIN_LANES
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
