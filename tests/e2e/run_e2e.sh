#!/bin/sh
# End-to-end check of the real program in a virtual X server: it starts on a sample file, its window
# shows up, and Ctrl+D opens the detail window for the selected contact (and not without one).
# Installs nothing: without Xvfb, xdotool or ImageMagick's import the test is skipped (exit 77).
#
# usage: run_e2e.sh TOVANEL_BINARY SAMPLE.vcf OUTPUT_DIR
set -u
sample=$2
out=$3

. "$(dirname "$0")/xserver.sh"
e2e_setup "$1" import
mkdir -p "$out"

"$BIN" "$sample" >"$out/tovanel.log" 2>&1 &
APP_PID=$!

# The title is "file name: " and the file's name; search on its ASCII part.
name=$(basename "$sample")
eventually has_window "$name" || {
    echo "FAIL: no window titled with $name"
    cat "$out/tovanel.log"
    exit 1
}
window=$(windows "$name" | head -n 1)
echo "main window $window: $(xdotool getwindowname "$window")"
import -window root "$out/e2e-main.png"
echo "screenshot: $out/e2e-main.png"

# Without a selected contact, Ctrl+D does nothing.
xdotool windowfocus --sync "$window"
xdotool key ctrl+d
if within 6 has_window "Detail-Ansicht"; then
    echo "FAIL: Ctrl+D opened the detail window with no contact selected"
    exit 1
fi

# Click a contact row (below the menu bar and the list's headings), then Ctrl+D.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 150 80 click 1
xdotool windowfocus --sync "$window"
xdotool key ctrl+d
eventually has_window "Detail-Ansicht" || {
    echo "FAIL: Ctrl+D did not open the detail window"
    import -window root "$out/e2e-fail.png"
    exit 1
}
echo "detail window: $(windows "Detail-Ansicht" | head -n 1)"
import -window root "$out/e2e-detail.png"
echo "screenshot: $out/e2e-detail.png"
echo "PASS"
