#!/bin/sh
# The real binary on a virtual X display: requests handed over to the running instance that end in its
# dialogs (a stray END line, then the retry dialog cancelled or answered) leave it running and
# answering; a launch on a pipe or a device refuses it itself, one on a redirected file hands over the
# real file.
# Usage: handover_dialogs.sh TOVANEL_BINARY DATA_DIR. Exit 77 means skipped.
set -u
DATA=$(cd "$2" && pwd)
. "$(dirname "$0")/xserver.sh"
e2e_setup "$1"

# Besides the running instance: a launch that is to refuse its file, and a writer into a named pipe.
LAUNCH_PID=
WRITER_PID=
stop_programs() {
    for pid in $APP_PID $LAUNCH_PID $WRITER_PID; do
        kill "$pid" 2>/dev/null
    done
}

# press TITLE KEY: focuses the one window with that title and sends it the key.
press() {
    eventually has_window "$1" || fail "no window titled $1: $(cat "$WORK/first.log")"
    xdotool windowfocus --sync "$(windows "$1" | head -n 1)" && xdotool key "$2"
}
alive() { kill -0 "$APP_PID" 2>/dev/null || fail "the running instance ended: $(cat "$WORK/first.log")"; }
# hand_over FILE: a later launch that must hand FILE over and exit at once.
hand_over() {
    timeout 20 "$BIN" "$1" >"$WORK/launch.log" 2>&1 || fail "launch with $1 ended with $?: $(cat "$WORK/launch.log")"
}

cp "$DATA/kontakte.vcf" "$DATA/andere.vcf" "$DATA/end-zuerst.vcf" "$WORK/"
cd "$WORK" || fail "no work folder"

"$BIN" kontakte.vcf >"$WORK/first.log" 2>&1 &
APP_PID=$!
eventually has_window 'file name: kontakte' || fail "first window did not appear: $(cat "$WORK/first.log")"

# A file with a stray END line: the message, then the retry dialog ("Öffnen"), which is cancelled.
hand_over end-zuerst.vcf
press '^Tovanel$' Return
press 'ffnen$' Escape
sleep 1
alive
hand_over andere.vcf
eventually has_window 'file name: andere' || fail "no import after the cancelled retry dialog"

# The same, but another file is chosen in the retry dialog.
hand_over end-zuerst.vcf
press '^Tovanel$' Return
eventually has_window 'ffnen$' || fail "no retry dialog"
xdotool windowfocus --sync "$(windows 'ffnen$' | head -n 1)"
xdotool type --delay 20 "$WORK/kontakte.vcf"
xdotool key Return
eventually has_window 'file name: kontakte' || fail "the file chosen in the retry dialog was not imported"
sleep 1
alive
hand_over andere.vcf
eventually has_window 'file name: andere' || fail "no import after the answered retry dialog"

# A redirected file is handed over by its real name, not as the running instance's own stdin.
timeout 20 "$BIN" /dev/stdin <kontakte.vcf >"$WORK/launch.log" 2>&1 || fail "redirected launch: $(cat "$WORK/launch.log")"
eventually has_window 'file name: kontakte' || fail "the redirected file was not imported"

# refused LAUNCH_PID: the launch shows its own message and, after Return, ends with 1.
refused() {
    eventually sh -c "xdotool search --onlyvisible --pid $1 --name '^Tovanel\$'" ||
        fail "the launch showed no message of its own"
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --pid "$1" --name '^Tovanel$' | head -n 1)"
    xdotool key Return
    wait "$1"
    status=$?
    LAUNCH_PID=
    [ "$status" -eq 1 ] || fail "a refused launch ended with $status"
    alive
    [ "$(windows 'file name:')" = "$(windows 'file name: kontakte')" ] || fail "the running instance imported something"
}
# A pipe only the launch can read.
cat andere.vcf | "$BIN" /dev/stdin >"$WORK/launch.log" 2>&1 &
LAUNCH_PID=$!
refused "$LAUNCH_PID"
# A named pipe, with a writer waiting.
mkfifo "$WORK/fifo.vcf"
cat andere.vcf >"$WORK/fifo.vcf" 2>/dev/null &
WRITER_PID=$!
"$BIN" "$WORK/fifo.vcf" >"$WORK/launch.log" 2>&1 &
LAUNCH_PID=$!
refused "$LAUNCH_PID"

hand_over andere.vcf
eventually has_window 'file name: andere' || fail "no import after the refused launches"
alive
echo "PASS"
exit 0
