#!/bin/sh
# End to end on the real program under Xvfb: open a file, open the detail window of the first contact
# with Ctrl+D, select the "Tel-Mobil" row, press Ctrl+Y and read the clipboard with xclip.
#
# Usage: detail_clipboard.sh PATH-TO-tovanel
# Exit 0 on success, 77 (skipped) when the program or an X tool is missing, 1 on failure.
set -u
. "$(dirname "$0")/xserver.sh"
e2e_setup "${1:-}" xclip

cat >"$WORK/kontakte.vcf" <<'VCF'
BEGIN:VCARD
VERSION:3.0
FN:Zora Ziegler
TEL;TYPE=CELL:+49 171 1111111
TEL;TYPE=HOME:089 2222
NOTE:Notiz
END:VCARD
VCF
EXPECTED="0171 1111111"

"$BIN" "$WORK/kontakte.vcf" >"$WORK/app.log" 2>&1 &
APP_PID=$!

eventually has_window "kontakte" || fail "main window did not appear"
MAIN=$(windows "kontakte" | head -n 1)
# There is no window manager: focus must be given before each batch of keys.
xdotool windowfocus --sync "$MAIN"
xdotool key Home
xdotool key ctrl+d
eventually has_window "Detail" || fail "detail window did not open"
DETAIL=$(windows "Detail" | head -n 1)
xdotool windowfocus --sync "$DETAIL"
# The list has the focus; "Tel-Mobil" is the third row.
xdotool key Home Down Down
printf 'vorher' | xclip -selection clipboard
xdotool key ctrl+y

clipboard_is() {
    GOT=$(xclip -o -selection clipboard 2>/dev/null)
    [ "$GOT" = "$1" ]
}
within 25 clipboard_is "$EXPECTED" || fail "clipboard holds '$GOT', expected '$EXPECTED'"
echo "PASS: clipboard holds '$GOT'"
