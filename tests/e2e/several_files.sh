#!/bin/sh
# The real binary on a virtual X display with several files at once: a launch with two files and one with
# a folder each show one list of all their contacts; a second launch hands three files to the running
# viewer, which shows them as one list in place of its own; two files dragged from another program onto
# the window both arrive. The lists are read over the accessibility bus (AT-SPI); a small drag source
# stands in for the file manager the virtual display lacks. Runs itself on a private D-Bus bus.
# Usage: several_files.sh TOVANEL_BINARY DATA_DIR SAMPLE.vcf DRAG_SOURCE. Exit 77 means skipped.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/xserver.sh"

e2e_on_accessibility_bus "$@"

absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
DATA=$(cd "$2" && pwd)
SAMPLE=$(absolute "$3")
DRAG=$(absolute "$4")
e2e_setup "$1"
[ -x "$DRAG" ] || fail "no drag source at $DRAG"

DRAG_PID=
stop_programs() {
    for pid in $APP_PID $DRAG_PID; do
        kill "$pid" 2>/dev/null
    done
}

# shows TITLE ROWS: the one main window is titled "file name: TITLE" and lists ROWS contacts.
shows() {
    eventually has_window "^file name: $1\$" ||
        fail "no window titled '$1': $(xdotool search --name 'file name' getwindowname %@ 2>&1; cat "$WORK/app.log")"
    [ "$(windows 'file name:' | wc -l)" -eq 1 ] || fail "more than one window: $(windows 'file name:')"
    /usr/bin/python3 "$HERE/accessibility.py" rows "file name: $1" "$2" || fail "'$1' does not list $2 contacts"
}

# drop_on WINDOW FILE...: drags the files from the drag source onto the middle of the window, the pointer
# moving in steps as a hand moves it (a drag follows the pointer's motion).
drop_on() {
    target=$1
    shift
    "$DRAG" "$@" >"$WORK/drag.log" 2>&1 &
    DRAG_PID=$!
    eventually has_window '^Ziehquelle$' || fail "the drag source did not appear: $(cat "$WORK/drag.log")"
    source=$(windows '^Ziehquelle$')
    xdotool windowmove --sync "$source" 1000 800
    xdotool mousemove --sync --window "$source" 80 80 mousedown 1
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$target")"
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove --sync $((1080 + (X + WIDTH / 2 - 1080) * step / 8)) \
            $((880 + (Y + HEIGHT / 2 - 880) * step / 8))
        sleep 0.1
    done
    xdotool mouseup 1
    eventually grep -q . "$WORK/drag.log" || fail "the drag did not end"
    grep -q '^dropped$' "$WORK/drag.log" || fail "the window refused the drop: $(cat "$WORK/drag.log")"
}

cd "$WORK" || fail "no work folder"
cp "$DATA/kontakte.vcf" "$DATA/andere.vcf" "$SAMPLE" .
sample=$(basename "$SAMPLE")
# Two, one and three contacts; the folder's hidden file does not count.
mkdir -p ordner/unter
cp kontakte.vcf ordner/
cp andere.vcf ordner/unter/
cp "$sample" ordner/.alt.vcf

"$BIN" kontakte.vcf andere.vcf >"$WORK/app.log" 2>&1 &
APP_PID=$!
shows 'kontakte.vcf und 1 weitere' 3

# A second launch from another folder: its three files, by their full paths, replace the list.
mkdir elsewhere
(cd elsewhere && timeout 20 "$BIN" ../andere.vcf "../$sample" ../kontakte.vcf) >"$WORK/second.log" 2>&1 ||
    fail "the second launch ended with $?: $(cat "$WORK/second.log")"
shows 'andere.vcf und 2 weitere' 6

# Two files dropped on a window that shows the first of them: one list of both, whether the drop
# replaces the list or adds to it.
timeout 20 "$BIN" andere.vcf >"$WORK/third.log" 2>&1 || fail "the third launch ended with $?"
shows 'andere.vcf' 1
drop_on "$(windows 'file name:')" "$WORK/andere.vcf" "$WORK/$sample"
shows 'andere.vcf und 1 weitere' 4

# "Beenden", then a launch with a folder: its files and those of its subfolder.
xdotool windowfocus --sync "$(windows 'file name:')"
xdotool key ctrl+q
eventually sh -c "! kill -0 $APP_PID" || fail "Ctrl+Q did not end the program"
"$BIN" ordner >"$WORK/app.log" 2>&1 &
APP_PID=$!
shows 'kontakte.vcf und 1 weitere' 3

echo "PASS"
exit 0
