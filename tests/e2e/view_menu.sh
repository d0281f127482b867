#!/bin/sh
# "Ansicht" on the real program under Xvfb, from the keyboard only, read over the accessibility bus
# (AT-SPI): "Namen › Nachname, Vorname" turns the names round, "Spalten › Geburtstag" adds the birthday
# column. The access keys are those the menus give themselves (the first free first letter of a word).
# Usage: view_menu.sh TOVANEL_BINARY. Exit 77 means skipped.
set -u
HERE=$(dirname "$0")
. "$HERE/xserver.sh"

e2e_on_accessibility_bus "$@"
e2e_setup "$1"

# A birthday in the file's own form, shown as a German date; the second contact has none.
contacts="$WORK/geburtstage.vcf"
printf '%s\r\n' BEGIN:VCARD VERSION:3.0 'N:Müller;Jürgen;;;' 'FN:Jürgen Müller' BDAY:1970-07-14 END:VCARD \
    BEGIN:VCARD VERSION:3.0 'N:Schäfer;Anna;;;' 'FN:Anna Schäfer' END:VCARD >"$contacts"
"$BIN" "$contacts" >"$WORK/tovanel.log" 2>&1 &
APP_PID=$!
name=$(basename "$contacts")
eventually has_window "$name" || fail "no window titled with $name: $(cat "$WORK/tovanel.log")"
window=$(windows "$name" | head -n 1)
shown() { /usr/bin/python3 "$HERE/accessibility.py" shown "$name" "$@"; }
column() { /usr/bin/python3 "$HERE/accessibility.py" column "$name" "$@"; }

shown "2 Kontakte" "Jürgen Müller" "Anna Schäfer" || fail "the names before the menu"
xdotool windowfocus --sync "$window"
xdotool key --delay 300 alt+n n n
shown "2 Kontakte" "Müller, Jürgen" "Schäfer, Anna" || fail "the names after Ansicht › Namen › Nachname, Vorname"
xdotool windowfocus --sync "$window"
xdotool key --delay 300 alt+n s g
column Geburtstag "14.07.1970" "" || fail "the birthdays after Ansicht › Spalten › Geburtstag"
echo "PASS"
