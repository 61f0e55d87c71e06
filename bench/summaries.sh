#!/bin/sh
# Times `plovo --summary - --brakings FILE` over several large logs against `wc -l` over the same
# logs, in interleaved runs, with plovo's peak memory; then the peak memory over many logs, and
# over a log with a brake application every other record that waits behind a large one.
# Usage: bench/summaries.sh [LOGS [RECORDS [RUNS]]]   (default 8 logs of 1000000 records, about
# 265 MB each, 5 runs; run after scripts/test)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
logs="${1:-8}"
records="${2:-1000000}"
runs="${3:-5}"
plovo="$root/build/plovo"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$root/build/genlog" "$records" >"$work/run1.dat"
i=2
while [ "$i" -le "$logs" ]; do
    cp "$work/run1.dat" "$work/run$i.dat"
    i=$((i + 1))
done
cat "$work"/run*.dat >/dev/null # into the page cache

# Wall time, peak RSS and processor time (user + system) of a command: "seconds kilobytes
# seconds".
measure() {
    /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >/dev/null
    awk '{ print $1, $2, $3 + $4 }' "$work/time"
}

printf '%s logs of %s records, %s MB each; %s interleaved runs\n' "$logs" "$records" \
    "$(($(wc -c <"$work/run1.dat") / 1048576))" "$runs"
run=1
while [ "$run" -le "$runs" ]; do
    set -- $(measure sh -c "wc -l '$work'/run*.dat")
    wc="$1"
    wccpu="$3"
    set -- $(measure "$plovo" --summary - --brakings "$work/brakings.csv" "$work"/run*.dat)
    awk -v r="$run" -v w="$wc" -v wcpu="$wccpu" -v s="$1" -v m="$2" -v cpu="$3" 'BEGIN {
        printf "run %d: wc -l %.2f s (cpu %.2f s), plovo %.2f s (cpu %.2f s), %.2fx wc -l, " \
               "peak RSS %.1f MiB\n", r, w, wcpu, s, cpu, s / w, m / 1024 }'
    run=$((run + 1))
done

# Many logs: the sample named 20000 times.
set --
i=0
while [ "$i" -lt 20000 ]; do
    set -- "$@" "$root/examples/sample.dat"
    i=$((i + 1))
done
set -- $(measure "$plovo" --summary - --brakings "$work/brakings.csv" "$@")
awk -v s="$1" -v m="$2" 'BEGIN {
    printf "20000 logs of 4000 records: %.2f s, peak RSS %.1f MiB\n", s, m / 1024 }'

# A brake application every other record (about 120 MB of brakings rows), second in line behind
# a large log, so that its rows are held back until the limit.
awk 'BEGIN { printf "%246s\n", "header"
    for (i = 0; i < 1000000; i++)
        printf "%23.1f %23.4f %23.5f %23s %23s %23s %23s %23s %23.4f %23s %23s \n",
               i * 0.1, 10, -0.5, 0, 0, 0, 0, 0, i % 2 ? 0.3 : 0, 0, 0 }' >"$work/pulses.dat"
set -- $(measure "$plovo" --brakings "$work/brakings.csv" "$work/run1.dat" "$work/pulses.dat")
awk -v s="$1" -v m="$2" -v n="$(wc -l <"$work/brakings.csv")" 'BEGIN {
    printf "a large log, then 500000 brake applications: %d rows, %.2f s, peak RSS %.1f MiB\n",
           n - 1, s, m / 1024 }'
