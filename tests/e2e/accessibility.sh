#!/bin/sh
# The real program on a virtual X display, read over the accessibility bus (AT-SPI) as a screen reader
# reads it. Runs itself on a private D-Bus bus of its own. Exit 77 means skipped (a tool is missing).
# Usage: accessibility.sh TOVANEL_BINARY SAMPLE.vcf
set -u
HERE=$(dirname "$0")
. "$HERE/xserver.sh"

e2e_on_accessibility_bus "$@"

SAMPLE=$2
e2e_setup "$1"

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
