#!/bin/sh
# End to end on the real program under Xvfb: open a file, open the detail window of the first contact
# with Ctrl+D, select the "Tel-Mobil" row, press Ctrl+Y and read the clipboard with xclip.
#
# Usage: detail_clipboard.sh PATH-TO-tovanel
# Exit 0 on success, 77 (skipped) when the program or an X tool is missing, 1 on failure.
set -u

BIN=${1:-}

. "$(dirname "$0")/xserver.sh"
[ -n "$BIN" ] && [ -x "$BIN" ] || skip "program not found: '$BIN'"
require_tools Xvfb xdotool xclip

WORK=$(mktemp -d)
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    stop_xserver
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

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

start_xserver "$WORK" "$WORK/xvfb.log" || fail "Xvfb did not start"

QT_QPA_PLATFORM=xcb "$BIN" "$WORK/kontakte.vcf" >"$WORK/app.log" 2>&1 &
APP_PID=$!

# Waits up to ten seconds for a window whose title contains $1 and prints its id.
find_window() {
    i=0
    while [ $i -lt 50 ]; do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
        i=$((i + 1))
    done
    return 1
}

MAIN=$(find_window "kontakte") || fail "main window did not appear"
# There is no window manager: focus must be given before each batch of keys.
xdotool windowfocus --sync "$MAIN"
xdotool key Home
xdotool key ctrl+d
DETAIL=$(find_window "Detail") || fail "detail window did not open"
xdotool windowfocus --sync "$DETAIL"
# The list has the focus; "Tel-Mobil" is the third row.
xdotool key Home Down Down
printf 'vorher' | xclip -selection clipboard
xdotool key ctrl+y

i=0
while [ $i -lt 25 ]; do
    GOT=$(xclip -o -selection clipboard 2>/dev/null)
    [ "$GOT" = "$EXPECTED" ] && { echo "PASS: clipboard holds '$GOT'"; exit 0; }
    sleep 0.2
    i=$((i + 1))
done
fail "clipboard holds '$GOT', expected '$EXPECTED'"
