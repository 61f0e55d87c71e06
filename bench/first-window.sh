#!/bin/sh
# The first window from a fresh clone: clones this repository's committed state, then times
# ./scripts/run from the start until plovo's window is mapped on a private Xvfb, ROUNDS times.
# Usage: bench/first-window.sh [ROUNDS]   (3 by default; needs Xvfb and xdotool)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds=${1:-3}
. "$root/bench/xvfb.sh"
echo "load $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
for round in $(seq "$rounds"); do
    rm -rf "$work/clone"
    start=$(date +%s.%N)
    git clone -q "$root" "$work/clone"
    "$work/clone/scripts/run" >"$work/run.out" 2>&1 &
    program=$!
    xdotool search --sync --onlyvisible --name '^plovo - ' >/dev/null
    end=$(date +%s.%N)
    kill "$program"
    wait "$program" 2>/dev/null || true
    program=
    echo "round $round: $(echo "$end - $start" | bc) s to the window"
done
