#!/bin/sh
# The filter above the list on the real program under Xvfb, read over the accessibility bus (AT-SPI): the
# count shows all contacts, letters typed after Ctrl+F narrow the list and the count says how many of all
# are shown, Ctrl+E in the filter field opens the export's save dialog, Escape brings every contact back. Runs itself on a private D-Bus bus.
# Usage: filter.sh TOVANEL_BINARY SAMPLE.vcf. Exit 77 means skipped.
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
window=$(windows "$name" | head -n 1)
shown() { /usr/bin/python3 "$HERE/accessibility.py" shown "$name" "$@"; }

shown "3 Kontakte" "Jürgen Müller" "Anna Schäfer" "Zoë Straße" || fail "the list before filtering"
# "er" is in both surnames and in both companies, not in the third contact's name.
xdotool windowfocus --sync "$window"
xdotool key ctrl+f
xdotool type --delay 50 "er"
shown "2 von 3 Kontakten" "Jürgen Müller" "Anna Schäfer" || fail "the list filtered by 'er'"
# The menu's Ctrl+E, not the text field's "end of line", while the filter field has the focus.
has_window "Speichern" && fail "a save dialog before Ctrl+E"
xdotool key ctrl+e
eventually has_window "Speichern" || fail "Ctrl+E in the filter field opened no save dialog"
xdotool windowfocus --sync "$(windows "Speichern" | head -n 1)"
xdotool key Escape
within 25 sh -c '! xdotool search --onlyvisible --name "Speichern" >/dev/null 2>&1' || fail "the save dialog stays"
xdotool windowfocus --sync "$window"
xdotool key Escape
shown "3 Kontakte" "Jürgen Müller" "Anna Schäfer" "Zoë Straße" || fail "the list after Escape"
echo "PASS"
