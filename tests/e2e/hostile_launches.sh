#!/bin/sh
# The real binary on a virtual X display, with launches that once went wrong: a file whose name is not
# UTF-8 is opened, and handed over to the running instance, as the file it names; a launch while idle
# clients hold every connection of the running instance waits for one to be free.
# Usage: hostile_launches.sh TOVANEL_BINARY DATA_DIR. Exit 77 means skipped.
set -u
DATA=$(cd "$2" && pwd)
. "$(dirname "$0")/xserver.sh"
e2e_setup "$1" python3

HOLDER_PID=
stop_programs() {
    for pid in $APP_PID $HOLDER_PID; do
        kill "$pid" 2>/dev/null
    done
}

# no_message: no message box (titled "Tovanel") comes up within about 2 s; one would say the file could
# not be read.
no_message() { ! within 10 has_window '^Tovanel$'; }

cd "$WORK" || fail "no work folder"
# "Müller" with the ü in Latin-1: a byte that is not UTF-8.
cp "$DATA/kontakte.vcf" "$(printf 'M\374ller-eins.vcf')"
cp "$DATA/andere.vcf" "$(printf 'M\374ller-zwei.vcf')"

"$BIN" "$(printf 'M\374ller-eins.vcf')" >"$WORK/first.log" 2>&1 &
APP_PID=$!
eventually has_window 'ller-eins' || fail "first window did not appear: $(cat "$WORK/first.log")"
no_message || fail "the first file was not read"

timeout 20 "$BIN" "$WORK/$(printf 'M\374ller-zwei.vcf')" >"$WORK/second.log" 2>&1 ||
    fail "the second launch ended with $?: $(cat "$WORK/second.log")"
eventually has_window 'ller-zwei' || fail "the running window did not take the second file"
no_message || fail "the handed-over file was not read"

# Sixteen idle connections take every place the running instance keeps for launches.
socket="$XDG_RUNTIME_DIR/tovanel-_${DISPLAY#:}.socket"
python3 -c '
import socket, sys, time
held = []
for _ in range(16):
    s = socket.socket(socket.AF_UNIX)
    s.connect(sys.argv[1])
    held.append(s)
print("held", flush=True)
time.sleep(30)
' "$socket" >"$WORK/holder.log" 2>&1 &
HOLDER_PID=$!
eventually grep -q held "$WORK/holder.log" || fail "could not hold the connections: $(cat "$WORK/holder.log")"
timeout 20 "$BIN" "$(printf 'M\374ller-eins.vcf')" >"$WORK/third.log" 2>&1 ||
    fail "the launch beside idle connections ended with $?: $(cat "$WORK/third.log")"
eventually has_window 'ller-eins' || fail "the running window did not take the third file"
[ "$(windows 'file name:' | wc -l)" -eq 1 ] || fail "more than one window: $(windows 'file name:')"

echo "PASS"
exit 0
