#!/bin/sh
# Measures the processor time plovo takes while it shows the sample and no key is held, then
# the same with --follow and no writer, under a private Xvfb server, against a bare window of the
# graphics library (bench/bare_window.cpp) measured the same way.
# Usage: bench/idle_cpu.sh [SECONDS]   (run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
. "$root/bench/xvfb.sh"
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
