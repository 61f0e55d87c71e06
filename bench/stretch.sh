#!/bin/sh
# A stretch near the start of a long log is read no further than its end: --at 100 --to 150
# --plot on a 30 M-line log (8 GB, ten runs of the 3 M-line log one after another) against the
# same on the 3 M-line log.
# Usage: bench/stretch.sh [ROUNDS]   (7 by default; the logs in $TMPDIR, 9 GB of room)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
rounds=${1:-7}
dir=$(mktemp -d "${TMPDIR:-/tmp}/plovo-stretch-bench-XXXXXX")
trap 'rm -rf "$dir"' EXIT
"$build/genlog" 3000000 >"$dir/3m.dat"
{ cat "$dir/3m.dat"; for i in 1 2 3 4 5 6 7 8 9; do tail -c +248 "$dir/3m.dat"; done; } >"$dir/30m.dat"
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for round in $(seq "$rounds"); do
    for log in 3m 30m; do
        /usr/bin/time -f %e "$build/plovo" --at 100 --to 150 --plot "$dir/p.png" "$dir/$log.dat" \
            velocity,brake-pressure 2>>"$dir/$log.times"
    done
done
short=$(median <"$dir/3m.times") long=$(median <"$dir/30m.times")
echo "load $(cut -d' ' -f1-3 /proc/loadavg); medians of $rounds rounds"
echo "3 M lines ($(du -m "$dir/3m.dat" | cut -f1) MB):   $short s"
echo "30 M lines ($(du -m "$dir/30m.dat" | cut -f1) MB): $long s   ratio $(echo "scale=2; $long / $short" | bc)x (budget 1.5x)"
