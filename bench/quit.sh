#!/bin/bash
# Times quits of the viewer under a private Xvfb, with LOAD busy processes (yes) beside it for a
# loaded machine: from the start of `xdotool keydown Escape` to plovo's end, which counts starting
# xdotool too, and from xdotool's end (the key is at the server) to plovo's end, which may miss
# a little of plovo's time.
# Usage: bench/quit.sh [QUITS] [LOAD]   (run after scripts/test; PLOVO=path times another build)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
quits="${1:-12}"
load="${2:-0}"
plovo="${PLOVO:-$root/build/plovo}"
. "$root/bench/xvfb.sh"
busy=""
trap 'set +e; [ -n "$busy" ] && kill $busy; cleanup' EXIT
for _ in $(seq "$load"); do
    yes >/dev/null &
    busy="$busy $!"
done

times=""
sent=""
for i in $(seq "$quits"); do
    TMPDIR="$work" "$plovo" "$root/examples/sample.dat" 2 >/dev/null 2>&1 </dev/null &
    program=$!
    window="$(xdotool search --sync --onlyvisible --name '^plovo - ' | head -n 1)"
    xdotool mousemove --window "$window" 320 240  # the keyboard follows the pointer
    sleep 0.5
    start=$EPOCHREALTIME
    xdotool keydown Escape
    pressed=$EPOCHREALTIME
    wait "$program" || true
    end=$EPOCHREALTIME
    program=""
    xdotool keyup Escape
    echo "$start $pressed $end" | awk -v i="$i" '{ printf "quit %d: %.3f s, %.3f s after xdotool\n", i, $3 - $1, $3 - $2 }'
    times="$times $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
    sent="$sent $(awk -v a="$pressed" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
done
# The median and the largest of a list of times.
summary() {
    echo "$1" | tr ' ' '\n' | sed '/^$/d' | sort -n |
        awk '{ t[NR] = $1 } END { printf "median %.3f s, max %.3f s", t[int((NR + 1) / 2)], t[NR] }'
}
echo "$quits quits, $load busy processes: $(summary "$times"); after xdotool $(summary "$sent")"
