# Shared by the end-to-end scripts (sourced): a virtual X server on a free display, and the few
# helpers every script uses to wait for windows.

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

# Polls until the command succeeds (up to about 30 s on a busy machine); windows appear asynchronously.
eventually() {
    tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -ge 150 ] && return 1
        sleep 0.2
    done
}

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
    xserver_tries=0
    until xdotool getdisplaygeometry >/dev/null 2>&1; do
        xserver_tries=$((xserver_tries + 1))
        [ "$xserver_tries" -ge 100 ] && return 1
        sleep 0.1
    done
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
