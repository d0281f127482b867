#!/bin/sh
# End-to-end check of the real program in a virtual X server: it starts on a sample file, its window
# shows up, and Ctrl+D opens the detail window for the selected contact (and not without one).
# Installs nothing: without Xvfb, xdotool or ImageMagick's import the test is skipped (exit 77).
#
# usage: run_e2e.sh TOVANEL_BINARY SAMPLE.vcf OUTPUT_DIR
set -u
bin=$1
sample=$2
out=$3

. "$(dirname "$0")/xserver.sh"
require_tools Xvfb xdotool import
mkdir -p "$out"

work=$(mktemp -d)
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    stop_xserver
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

start_xserver "$work" "$out/xvfb.log" || { echo "FAIL: Xvfb did not start"; exit 1; }
unset QT_QPA_PLATFORM

# Polls a command for up to $1 tenths of a second.
retry() {
    tries=$1
    shift
    while [ "$tries" -gt 0 ]; do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}


"$bin" "$sample" >"$out/tovanel.log" 2>&1 &
app_pid=$!

# The title is "file name: " and the file's name; search on its ASCII part.
name=$(basename "$sample")
retry 150 xdotool search --onlyvisible --name "$name" || {
    echo "FAIL: no window titled with $name"
    cat "$out/tovanel.log"
    exit 1
}
window=$(xdotool search --onlyvisible --name "$name" | head -n 1)
echo "main window $window: $(xdotool getwindowname "$window")"
import -window root "$out/e2e-main.png"
echo "screenshot: $out/e2e-main.png"

detail_shown() { xdotool search --onlyvisible --name "Detail-Ansicht"; }

# Without a selected contact, Ctrl+D does nothing.
xdotool windowfocus --sync "$window"
xdotool key ctrl+d
if retry 10 detail_shown; then
    echo "FAIL: Ctrl+D opened the detail window with no contact selected"
    exit 1
fi

# Click a contact row (below the menu bar and the list's headings), then Ctrl+D.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 150 80 click 1
xdotool windowfocus --sync "$window"
xdotool key ctrl+d
retry 100 detail_shown || {
    echo "FAIL: Ctrl+D did not open the detail window"
    import -window root "$out/e2e-fail.png"
    exit 1
}
echo "detail window: $(detail_shown | head -n 1)"
import -window root "$out/e2e-detail.png"
echo "screenshot: $out/e2e-detail.png"
echo "PASS"
