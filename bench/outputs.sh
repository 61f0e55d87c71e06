#!/bin/sh
# Times plovo's outputs without a window on a large log, each as a whole process, against
# `wc -l` and against a plain --snapshot (the extraction and one frame), with peak memory:
# --stats, --overview, --at three quarters in, --plot of the whole run, and all at once.
# Usage: bench/outputs.sh [RECORDS]   (default 4000000, about 1 GB; run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
records="${1:-4000000}"
plovo="$root/build/plovo"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
log="$work/run.dat"
"$root/build/genlog" "$records" >"$log"
cat "$log" >/dev/null # into the page cache
# Three quarters of the run, in seconds (genlog writes 10 samples a second).
at=$((records * 3 / 40))

# Best wall time of three runs, and the largest peak RSS, of a command: "seconds kilobytes".
best() {
    for run in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
        cat "$work/time"
    done | sort -n | awk 'NR == 1 { s = $1 } { if ($2 > m) m = $2 } END { print s, m }'
}

printf '%s records, %s MB; best of 3 runs\n' "$records" "$(($(wc -c <"$log") / 1048576))"
wc="$(best sh -c "wc -l < '$log'" | cut -d' ' -f1)"
base="$(best "$plovo" --snapshot "$work/s.png" "$log" 2 | cut -d' ' -f1)"
report() {
    name="$1"
    shift
    set -- $(best "$@")
    awk -v n="$name" -v s="$1" -v m="$2" -v wc="$wc" -v base="$base" 'BEGIN {
        printf "%-22s %6.2f s  %5.2fx wc -l  %5.2fx --snapshot  peak RSS %6.1f MB\n",
               n, s, s / wc, s / base, m / 1024 }'
}
report "wc -l" sh -c "wc -l < '$log'"
report "--snapshot" "$plovo" --snapshot "$work/s.png" "$log" 2
report "--stats" "$plovo" --stats "$log" 2
report "--overview" "$plovo" --overview "$work/o.png" "$log" 2
report "--at (3/4 in)" "$plovo" --at "$at" --snapshot "$work/a.png" "$log" 2
report "--plot (whole run)" "$plovo" --to 1e300 --plot "$work/p.png" "$log" 2
report "all of them" "$plovo" --at "$at" --snapshot "$work/a.png" --overview "$work/o.png" \
    --plot "$work/p.svg" --stats "$log" 2
