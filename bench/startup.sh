#!/bin/sh
# Time from starting a program to its window being shown on a virtual X display: `tovanel FILE` with a
# one-card file against tovanel-barestart (an empty Qt Widgets window). The programs are not told that
# they are measured; the script watches the display from outside with xdotool.
#
# usage: bench/startup.sh [BUILD_DIR] [RUNS]      (defaults: build, 15)
# needs: Xvfb, xdotool
set -eu

build=${1:-build}
runs=${2:-15}
viewer="$build/src/app/tovanel"
bare="$build/bench/tovanel-barestart"
for program in "$viewer" "$bare"; do
    [ -x "$program" ] || { echo "missing $program (build it first)" >&2; exit 2; }
done
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "needs Xvfb and xdotool" >&2; exit 2; }

work=$(mktemp -d)
# The same virtual X server as the end-to-end tests.
. "$(dirname "$0")/../tests/e2e/xserver.sh"
cleanup() {
    stop_xserver
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Muster\r\nTEL;TYPE=CELL:+49 170 1234567\r\nEND:VCARD\r\n' \
    > "$work/eine.vcf"

start_xserver "$work" "$work/xvfb.log" || { echo "Xvfb did not start" >&2; exit 1; }
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

now_ns() { date +%s%N; }

# Starts the program and prints the milliseconds until a window with that title is viewable. xdotool's
# own --sync waits half a second between looks; this polls every few milliseconds instead.
time_to_window() {
    title=$1
    shift
    start=$(now_ns)
    "$@" >"$work/out" 2>&1 &
    pid=$!
    while ! xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "the program ended without showing a window: $*" >&2
            cat "$work/out" >&2
            exit 1
        fi
        sleep 0.002
    done
    end=$(now_ns)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo $(((end - start) / 1000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One run of each first, unmeasured, so that both start with the libraries in the page cache.
time_to_window "tovanel-barestart" "$bare" >/dev/null
time_to_window "file name: eine.vcf" "$viewer" "$work/eine.vcf" >/dev/null

: >"$work/viewer"
: >"$work/bare"
n=0
while [ $n -lt "$runs" ]; do
    # Alternate which one goes first, so a change in the machine's load hits both alike.
    if [ $((n % 2)) -eq 0 ]; then
        time_to_window "tovanel-barestart" "$bare" >>"$work/bare"
        time_to_window "file name: eine.vcf" "$viewer" "$work/eine.vcf" >>"$work/viewer"
    else
        time_to_window "file name: eine.vcf" "$viewer" "$work/eine.vcf" >>"$work/viewer"
        time_to_window "tovanel-barestart" "$bare" >>"$work/bare"
    fi
    n=$((n + 1))
done

viewer_us=$(median <"$work/viewer")
bare_us=$(median <"$work/bare")
echo "runs=$runs (microseconds, until the window is viewable)"
echo "tovanel FILE:       median $viewer_us  all: $(sort -n "$work/viewer" | tr '\n' ' ')"
echo "tovanel-barestart:  median $bare_us  all: $(sort -n "$work/bare" | tr '\n' ' ')"
viewer_min=$(sort -n "$work/viewer" | head -n 1)
bare_min=$(sort -n "$work/bare" | head -n 1)
# The fastest runs are the ones least disturbed by other work on the machine.
awk -v v="$viewer_us" -v b="$bare_us" -v vm="$viewer_min" -v bm="$bare_min" \
    'BEGIN { printf "ratio=%.2f (medians; target <= 2) fastest_ratio=%.2f\n", v / b, vm / bm }'
