# shellcheck shell=sh
# Shared by the end-to-end scripts (sourced): the program under a virtual X server on a free display in a
# work folder of its own, and the few helpers every script uses to wait for windows.

skip() {
    echo "SKIP: $*"
    exit 77
}

# require_tools TOOL...: skips the test (exit 77) when one of the programs is not installed.
require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
}

fail() {
    echo "FAIL: $*"
    exit 1
}

# e2e_setup BINARY TOOL...: the start of every script. Skips unless the program and Xvfb, xdotool and
# the TOOLs are there; sets BIN to the program's absolute path and WORK to a fresh folder, removed at exit
# after stop_programs and the X server have ended; starts the X server. The program then runs on it with
# a runtime folder of its own, so that a Tovanel the user runs elsewhere takes no file and leaves no socket
# in the way.
e2e_setup() {
    BIN=$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")
    if [ ! -f "$BIN" ] || [ ! -x "$BIN" ]; then
        skip "program not found: '$1'"
    fi
    shift
    require_tools Xvfb xdotool "$@"
    WORK=$(mktemp -d)
    APP_PID=
    trap e2e_cleanup EXIT
    trap 'exit 1' INT TERM
    start_xserver "$WORK" "$WORK/xvfb.log" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export QT_QPA_PLATFORM=xcb
    unset QT_ACCESSIBILITY
    export XDG_RUNTIME_DIR="$WORK/run"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# e2e_on_accessibility_bus "$@": the start of a script that reads the program over AT-SPI. Runs the script
# again on a private D-Bus bus (where the program's accessibility bus then lives) unless it already runs
# there; skips without dbus-run-session or python3-pyatspi. Call e2e_setup after it.
e2e_on_accessibility_bus() {
    if [ -n "${TOVANEL_A11Y_SESSION:-}" ]; then
        export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
        return 0
    fi
    require_tools Xvfb xdotool dbus-run-session
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
    TOVANEL_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@"
}

# Ends what the script started: the program, whose process id (or ids) it keeps in APP_PID. A script that
# starts more defines its own.
stop_programs() {
    # shellcheck disable=SC2086 # one or more process ids
    [ -z "$APP_PID" ] || kill $APP_PID 2>/dev/null
}

e2e_cleanup() {
    stop_programs
    stop_xserver
    wait 2>/dev/null
    rm -rf "$WORK"
}

# within TRIES COMMAND...: polls until the command succeeds, TRIES times 0.2 s apart; windows appear
# asynchronously.
within() {
    tries=$1
    shift
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -le 0 ] && return 1
        sleep 0.2
    done
}

# eventually COMMAND...: polls for up to about 30 s, long enough on a busy machine.
eventually() { within 150 "$@"; }

# Visible windows whose title matches (a regular expression), one id per line.
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
has_window() { [ -n "$(windows "$1")" ]; }

# start_xserver WORKDIR LOGFILE: starts Xvfb, exports DISPLAY and sets XSERVER_PID; fails when the
# server does not come up.
start_xserver() {
    mkfifo "$1/display" || return 1
    # The server picks a free display itself: other virtual displays may be running on this machine.
    # -noreset: without it the server resets whenever its last client leaves, and refuses the next one
    # for a moment.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$1/display" >"$2" 2>&1 &
    XSERVER_PID=$!
    read -r xserver_display <"$1/display" || return 1
    export DISPLAY=":$xserver_display"
    unset WAYLAND_DISPLAY
    within 50 xdotool getdisplaygeometry
}

# stop_xserver: ends the server and waits for it. A server still shutting down removes its socket
# late, and would take the display away from the next test's server that reused the number.
stop_xserver() {
    if [ -n "${XSERVER_PID:-}" ]; then
        kill "$XSERVER_PID" 2>/dev/null
        wait "$XSERVER_PID" 2>/dev/null
    fi
    XSERVER_PID=
}
