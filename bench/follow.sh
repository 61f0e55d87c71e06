#!/bin/sh
# Measures --follow on a burst: LINES new lines (default 1,000,000, about 265 MB) appended to a
# log that plovo follows under a private Xvfb. Prints the time from the moment they are all in
# the file to the title naming the newest screen, against plovo extracting the same log from
# scratch (--stats); the time Escape takes to end plovo at moments during a catch-up; and
# plovo's peak resident memory. Usage: bench/follow.sh [LINES]   (run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
lines="${1:-1000000}"
base=1000  # lines in the log before the burst
width=640  # samples on screen (the shipped plovo.ini)
. "$root/bench/xvfb.sh"
mkdir "$work/tmp"

"$root/build/genlog" "$base" >"$work/start.dat"
"$root/build/genlog" "$lines" | tail -c +248 >"$work/burst.dat"  # the lines without a header

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

# Starts plovo following a fresh log of $base lines and waits for its window.
start() {
    cp "$work/start.dat" "$work/run.dat"
    TMPDIR="$work/tmp" "$root/build/plovo" --follow "$work/run.dat" 2 >/dev/null 2>&1 </dev/null &
    program=$!
    window="$(timeout 20 xdotool search --sync --onlyvisible --name '^plovo - ')"
    xdotool mousemove --window "$window" 320 240  # no window manager: the keys follow the pointer
}

# Holds Escape until plovo has ended; prints the seconds it took.
escape() {
    t0="$(now)"
    xdotool keydown Escape
    wait "$program" || true
    program=""
    since "$t0"
    xdotool keyup Escape
}

# The burst, appended while plovo is stopped, so that all of it is in the file when it goes on.
start
newest="sample $((base + lines - width + 1)) "
kill -STOP "$program"
cat "$work/burst.dat" >>"$work/run.dat"
t0="$(now)"
kill -CONT "$program"
until xdotool getwindowname "$window" | grep -q "$newest"; do sleep 0.005; done
caught="$(since "$t0")"
peak="$(awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$program/status")"
escape >/dev/null

# Escape at moments of a catch-up.
latencies=""
for delay in 0.05 0.15 0.3; do
    start
    kill -STOP "$program"
    cat "$work/burst.dat" >>"$work/run.dat"
    kill -CONT "$program"
    sleep "$delay"
    busy="$(xdotool getwindowname "$window" | grep -q "$newest" && echo caught-up || echo busy)"
    latencies="$latencies ${delay}s:$(escape)s($busy)"
done

t0="$(now)"
TMPDIR="$work/tmp" "$root/build/plovo" --stats "$work/run.dat" 2 >/dev/null
scratch="$(since "$t0")"

echo "burst of $lines lines ($(($(stat -c %s "$work/burst.dat") / 1048576)) MiB) onto $base:"
awk -v c="$caught" -v s="$scratch" 'BEGIN {
    printf "  caught up in %.3f s; extraction from scratch %.3f s; over it by %.3f s (target <= 1 s)\n",
           c, s, c - s }'
echo "  Escape during the catch-up, after the burst plus:$latencies (target <= 0.2 s)"
echo "  peak resident memory $peak MiB (target < 32 MiB)"
[ -z "$(ls "$work/tmp")" ] || echo "  temporary files left behind: $(ls "$work/tmp")"
