#!/bin/sh
# Measures the processor time plovo takes while it shows the sample and no key is held, under
# a private Xvfb server. Usage: bench/idle_cpu.sh [SECONDS]   (run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
work="$(mktemp -d)"
xvfb=""
plovo=""
# Runs on every way out, without -e: a failed kill or wait must not skip the rest.
cleanup() {
    set +e
    [ -n "$plovo" ] && kill "$plovo" 2>/dev/null && wait "$plovo" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Xvfb's own output goes nowhere, so that a pipe reading this script's output sees its end.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
TMPDIR="$work" "$root/build/plovo" "$root/examples/sample.dat" 2 >/dev/null 2>&1 </dev/null &
plovo=$!
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
p0="$(ticks $plovo)"; x0="$(ticks $xvfb)"
sleep "$seconds"
p1="$(ticks $plovo)"; x1="$(ticks $xvfb)"
awk -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v s="$seconds" -v hz="$hz" 'BEGIN {
    printf "idle over %d s: plovo %.1f%% of one core (target < 2%%), Xvfb %.1f%%\n",
           s, 100 * p / hz / s, 100 * x / hz / s }'
