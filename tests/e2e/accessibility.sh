#!/bin/sh
# The real program on a virtual X display, read over the accessibility bus (AT-SPI) as a screen reader
# reads it. Runs itself on a private D-Bus bus of its own. Exit 77 means skipped (a tool is missing).
# Usage: accessibility.sh TOVANEL_BINARY SAMPLE.vcf
set -u

if [ -z "${TOVANEL_A11Y_SESSION:-}" ]; then
    for tool in Xvfb xdotool dbus-run-session; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
    if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
        echo "SKIP: python3-pyatspi is not installed"
        exit 77
    fi
    TOVANEL_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi

BIN=$1
SAMPLE=$2
HERE=$(dirname "$0")
WORK=$(mktemp -d)
APP_PID=
. "$HERE/xserver.sh"
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    stop_xserver
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

start_xserver "$WORK" "$WORK/xvfb.log" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
unset QT_QPA_PLATFORM
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Its own socket folder, so no other running instance takes the file.
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$BIN" "$SAMPLE" >"$WORK/tovanel.log" 2>&1 &
APP_PID=$!
name=$(basename "$SAMPLE")
eventually has_window "$name" || fail "no window titled with $name: $(cat "$WORK/tovanel.log")"

status=0
/usr/bin/python3 "$HERE/accessibility.py" main "$name" || status=1

# The detail window of the first contact: select it, then Ctrl+D.
window=$(windows "$name" | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key Down ctrl+d
eventually has_window "Detail-Ansicht" || fail "the detail window did not open"
/usr/bin/python3 "$HERE/accessibility.py" detail "$(xdotool getwindowname "$(windows Detail-Ansicht | head -n 1)")" || status=1
exit $status
