#!/bin/sh
# Measures the processor time plovo takes while it shows the sample and no key is held, then
# the same with --follow and no writer, under a private Xvfb server, against a bare window of the
# graphics library (bench/bare_window.cpp) measured the same way.
# Usage: bench/idle_cpu.sh [SECONDS]   (run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
work="$(mktemp -d)"
xvfb=""
program=""
# Runs on every way out, without -e: a failed kill or wait must not skip the rest.
cleanup() {
    set +e
    [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
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
hz="$(getconf CLK_TCK)"
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Percent of one core that the command takes over $seconds, after 2 s to settle.
measure() {
    TMPDIR="$work" "$@" >/dev/null 2>&1 </dev/null &
    program=$!
    sleep 2
    t0="$(ticks $program)"
    sleep "$seconds"
    t1="$(ticks $program)"
    kill "$program"; wait "$program" 2>/dev/null || true
    program=""
    awk -v t=$((t1 - t0)) -v s="$seconds" -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
}
viewer="$(measure "$root/build/plovo" "$root/examples/sample.dat" 2)"
follow="$(measure "$root/build/plovo" --follow "$root/examples/sample.dat" 2)"
bare="$(measure "$root/build/bare_window")"
awk -v v="$viewer" -v f="$follow" -v b="$bare" -v s="$seconds" 'BEGIN {
    printf "idle over %d s: plovo %.2f%% of one core (target < 2%%), bare window %.2f%%, ratio %.2f\n",
           s, v, b, (b > 0 ? v / b : 0)
    printf "idle over %d s: plovo --follow %.2f%%, %+.2f points against plovo (target within 1)\n",
           s, f, f - v }'
