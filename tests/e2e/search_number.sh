#!/bin/sh
# End to end on the real program under Xvfb: type part of a telephone number into the list, press
# Return, and the contact with that number is selected; Return again selects the next one. The same
# when the first hit is the list's first row. The selected
# contact is read back through "Kopieren" (Ctrl+C) and xclip.
#
# Usage: search_number.sh PATH-TO-tovanel
# Exit 0 on success, 77 (skipped) when the program or an X tool is missing, 1 on failure.
set -u
. "$(dirname "$0")/xserver.sh"
e2e_setup "${1:-}" xclip

# The number is written differently each time: "+49 30 …" at home, "030 …-0" at work.
cat >"$WORK/telefon.vcf" <<'VCF'
BEGIN:VCARD
VERSION:3.0
FN:Anna Adler
TEL;TYPE=CELL:0171 5550100
END:VCARD
BEGIN:VCARD
VERSION:3.0
FN:Bernd Berg
TEL;TYPE=HOME:+49 30 1234567
END:VCARD
BEGIN:VCARD
VERSION:3.0
FN:Carla Cramer
TEL;TYPE=CELL:0170 9999
END:VCARD
BEGIN:VCARD
VERSION:3.0
FN:Dora Dorn
TEL;TYPE=WORK:030 12345-670
END:VCARD
VCF

"$BIN" "$WORK/telefon.vcf" >"$WORK/app.log" 2>&1 &
APP_PID=$!

eventually has_window "telefon" || fail "main window did not appear"
MAIN=$(windows "telefon" | head -n 1)

# The name of the contact "Kopieren" copies from the list, once the clipboard holds one.
copied_name_is() {
    GOT=$(xclip -o -selection clipboard 2>/dev/null | cut -f1)
    [ "$GOT" = "$1" ]
}
selected_is() {
    printf 'vorher' | xclip -selection clipboard
    xdotool key ctrl+c
    within 25 copied_name_is "$1"
}

# There is no window manager: focus must be given before each batch of keys. The list has the focus
# after the import; a typed digit goes on into the search field.
xdotool windowfocus --sync "$MAIN"
xdotool type --delay 50 "+49 30 1234"
xdotool key Return
selected_is "Bernd Berg" || fail "after the first Return '$GOT' is selected, expected 'Bernd Berg'"

xdotool windowfocus --sync "$MAIN"
xdotool key Return
selected_is "Dora Dorn" || fail "after the second Return '$GOT' is selected, expected 'Dora Dorn'"

# A first hit on the first row: Return must still go on to the second one.
xdotool windowfocus --sync "$MAIN"
xdotool type --delay 50 "017"
xdotool key Return
selected_is "Anna Adler" || fail "after typing 017 and Return '$GOT' is selected, expected 'Anna Adler'"
xdotool windowfocus --sync "$MAIN"
xdotool key Return
selected_is "Carla Cramer" || fail "after the next Return '$GOT' is selected, expected 'Carla Cramer'"
echo "PASS: Return found Bernd Berg, then Dora Dorn; Anna Adler on the first row, then Carla Cramer"
