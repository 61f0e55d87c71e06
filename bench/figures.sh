#!/bin/sh
# Times the report's new outputs on a day of stops and starts (genlog --brakings, 3,000,000
# records, about 3,000 brakings), each as a whole process, in interleaved rounds so that a busy
# moment weighs on all alike:
#  - a three-panel --plot of one braking against distance three quarters into the log, as it was,
#    with --units and --label, and with --origin brake and --marks too (their cost over it); the
#    last two also on genlog's one run of as many records (one braking, at its end);
#  - --brakings of the log; the pass --plot-brakings makes (the extraction of its chart types and
#    the brake applications, drawn as one empty plot); --plot-brakings to PDF files.
# Prints the median wall and processor (user + system) time of each, its largest peak resident
# set, the figure count, the pass against --brakings and the time per figure.
# Usage: bench/figures.sh [RECORDS] [ROUNDS]   (default 3000000 records, 795 MB; 3 rounds)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
records="${1:-3000000}"
rounds="${2:-3}"
plovo="$root/build/plovo"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
log="$work/runA.dat"
one="$work/one.dat"
"$root/build/genlog" --brakings "$records" >"$log"
"$root/build/genlog" "$records" >"$one"
cat "$log" "$one" >/dev/null # into the page cache
three=velocity,brake-pressure,pipe-pressure
# A braking three quarters into the log: the plots read that far.
at=$("$plovo" --brakings - --sort start_s "$log" |
    awk -F, -v t="$((records * 3 / 40))" 'NR > 1 && $3 > t && !found { print $3; found = 1 }')
from=$(awk -v t="$at" 'BEGIN { print t - 10 }')
to=$(awk -v t="$at" 'BEGIN { print t + 50 }')

# One measurement of a command: "wall cpu kilobytes" appended to the file $work/$1.
measure() {
    name="$1"
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1
    awk '{ print $1, $2 + $3, $4 }' "$work/time" >>"$work/$name"
}

for round in $(seq "$rounds"); do
    measure plot "$plovo" --at "$from" --to "$to" --x distance --plot "$work/p.pdf" "$log" "$three"
    measure units "$plovo" --at "$from" --to "$to" --x distance --units km/h,bar \
        --label brake-pressure="Brake cylinder" --plot "$work/p.pdf" "$log" "$three"
    measure report "$plovo" --at "$from" --to "$to" --x distance --origin brake --units km/h,bar \
        --label brake-pressure="Brake cylinder" --marks --plot "$work/p.pdf" "$log" "$three"
    # The one run brakes at 70% of it: its last 30% hold the braking.
    measure oneplot "$plovo" --at "$((records * 7 / 100 - 10))" --to "$((records * 7 / 100 + 60))" \
        --x distance --plot "$work/p.pdf" "$one" "$three"
    measure onereport "$plovo" --at "$((records * 7 / 100 - 10))" --to "$((records * 7 / 100 + 60))" \
        --x distance --origin brake --marks --plot "$work/p.pdf" "$one" "$three"
    measure brakings "$plovo" --brakings /dev/null "$log"
    measure pass "$plovo" --at 1e300 --to 1e300 --marks --plot "$work/p.pdf" "$log" "$three"
    rm -rf "$work/brk"
    mkdir "$work/brk"
    measure figures "$plovo" --plot-brakings "$work/brk/brk-%n.pdf" "$log"
done
count=$(ls "$work/brk" | wc -l)

# The median of column $2 of file $1, and the largest of column 3.
median() {
    sort -n -k"$2" "$work/$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
peak() {
    sort -n -k3 "$work/$1" | tail -1 | awk '{ print $3 }'
}

printf '%s records (%s MB), %s brakings, %s rounds, load %s; median wall / processor time\n' \
    "$records" "$(($(wc -c <"$log") / 1048576))" "$count" "$rounds" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
for name in plot units report oneplot onereport brakings pass figures; do
    awk -v n="$name" -v w="$(median "$name" 1)" -v c="$(median "$name" 2)" -v m="$(peak "$name")" \
        'BEGIN { printf "%-9s %7.3f s  cpu %7.3f s  peak RSS %6.1f MB\n", n, w, c, m / 1024 }'
done
awk -v p="$(median plot 1)" -v u="$(median units 1)" -v r="$(median report 1)" \
    -v op="$(median oneplot 1)" -v or="$(median onereport 1)" -v b="$(median brakings 1)" \
    -v pc="$(median plot 2)" -v uc="$(median units 2)" -v rc="$(median report 2)" \
    -v opc="$(median oneplot 2)" -v orc="$(median onereport 2)" \
    -v s="$(median pass 1)" -v f="$(median figures 1)" -v fc="$(median figures 2)" -v n="$count" \
    'BEGIN {
        printf "over the plot, wall (cpu): --units and --label %+.1f%% (%+.1f%%), with --origin brake and --marks %+.1f%% (%+.1f%%); on the one run %+.1f%% (%+.1f%%)\n",
               100 * (u - p) / p, 100 * (uc - pc) / pc, 100 * (r - p) / p, 100 * (rc - pc) / pc,
               100 * (or - op) / op, 100 * (orc - opc) / opc
        printf "the pass: %.2fx --brakings (budget 3x)\n", s / b
        printf "%d figures in %.2f s: %.2f ms a figure beyond the pass (%.2f ms of processor time), %.2f cores busy\n",
               n, f, 1000 * (f - s) / n, 1000 * fc / n, fc / f }'
