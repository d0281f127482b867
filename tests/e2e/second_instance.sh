#!/bin/sh
# The real binary on a virtual X display: a second launch with a file hands it to the running
# instance, whose one window re-imports it; several launches at once still leave one window.
# Usage: second_instance.sh TOVANEL_BINARY DATA_DIR. Exit 77 means skipped.
set -u
DATA=$(cd "$2" && pwd)
. "$(dirname "$0")/xserver.sh"
e2e_setup "$1"

cp "$DATA/kontakte.vcf" "$DATA/andere.vcf" "$WORK/"
cd "$WORK" || fail "no work folder"

"$BIN" kontakte.vcf >"$WORK/first.log" 2>&1 &
APP_PID=$!
eventually has_window 'file name: kontakte' || fail "first window did not appear: $(cat "$WORK/first.log")"
first_window=$(windows 'file name: kontakte')

socket="$XDG_RUNTIME_DIR/tovanel-_${DISPLAY#:}.socket"
[ -S "$socket" ] || fail "no socket at $socket"
case $(stat -c %A "$socket") in
srwx------) ;;
*) fail "socket is open to others: $(stat -c %A "$socket")" ;;
esac

# The second launch runs in another folder: the file must reach the first one by its full path.
mkdir "$WORK/elsewhere"
(cd "$WORK/elsewhere" && timeout 20 "$BIN" ../andere.vcf) >"$WORK/second.log" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "second launch ended with $status: $(cat "$WORK/second.log")"
eventually has_window 'file name: andere' || fail "the running window did not import the second file"
[ "$(windows 'file name: andere')" = "$first_window" ] || fail "the second file opened in another window"
[ "$(windows 'file name:' | wc -l)" -eq 1 ] || fail "more than one window: $(windows 'file name:')"
kill -0 "$APP_PID" 2>/dev/null || fail "the first instance ended"

# Several files opened at once start one launch each; all of them end in the one window.
timeout 20 "$BIN" kontakte.vcf >/dev/null 2>&1 &
a=$!
timeout 20 "$BIN" andere.vcf >/dev/null 2>&1 &
b=$!
wait "$a" || fail "a simultaneous launch did not hand over"
wait "$b" || fail "a simultaneous launch did not hand over"
[ "$(windows 'file name:' | wc -l)" -eq 1 ] || fail "simultaneous launches left $(windows 'file name:' | wc -l) windows"
kill -0 "$APP_PID" 2>/dev/null || fail "the first instance ended"

# "Beenden" ends the program, which takes its socket along.
first_window=$(windows 'file name:')
xdotool windowfocus --sync "$first_window"
xdotool key ctrl+q
eventually sh -c "! kill -0 $APP_PID" || fail "Ctrl+Q did not end the program"
APP_PID=
[ ! -e "$socket" ] || fail "the socket outlived its instance"

# A crashed instance leaves its socket behind; then several launches at once: exactly one becomes
# the running instance, replacing the leftover socket.
"$BIN" kontakte.vcf >"$WORK/third.log" 2>&1 &
APP_PID=$!
eventually has_window 'file name: kontakte' || fail "window did not appear: $(cat "$WORK/third.log"; ls -la "$WORK/run"; xdotool search --name '' getwindowname %@ 2>&1 | head)"
kill -KILL "$APP_PID"
wait "$APP_PID" 2>/dev/null
APP_PID=
[ -S "$socket" ] || fail "expected the killed instance's socket to stay behind"
"$BIN" kontakte.vcf >/dev/null 2>&1 &
a=$!
"$BIN" andere.vcf >/dev/null 2>&1 &
b=$!
APP_PID="$a $b"
one_left() { [ "$( (kill -0 "$a" 2>/dev/null && echo a; kill -0 "$b" 2>/dev/null && echo b) | wc -l)" -eq 1 ]; }
eventually one_left || fail "both simultaneous first launches kept running"
eventually has_window 'file name:' || fail "no window after simultaneous first launches"
[ "$(windows 'file name:' | wc -l)" -eq 1 ] || fail "simultaneous first launches left several windows"

echo "PASS"
exit 0
