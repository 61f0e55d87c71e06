#!/bin/sh
# Times the report outputs on a large log, each as a whole process, in interleaved rounds so that
# a busy moment weighs on all alike: a one-panel --plot of the whole run, a three-panel one, the
# one-panel plot with --compare of a second log as large, and --export of three chart types,
# against `wc -l` of the log. Prints the median wall and processor (user + system) time of each,
# its largest peak resident set, and the ratios the budgets are stated in.
# Usage: bench/reports.sh [RECORDS] [ROUNDS]   (default 1048576 records, 265 MB; 5 rounds)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
records="${1:-1048576}"
rounds="${2:-5}"
plovo="$root/build/plovo"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
log="$work/run.dat"
other="$work/other.dat"
"$root/build/genlog" "$records" >"$log"
"$root/build/genlog" "$((records * 9 / 10))" >"$other" # another run: it brakes earlier
cat "$log" "$other" >/dev/null                         # into the page cache
three=velocity,pipe-pressure,brake-pressure

# One measurement of a command: "wall cpu kilobytes" appended to the file $work/$1.
measure() {
    name="$1"
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null
    awk '{ print $1, $2 + $3, $4 }' "$work/time" >>"$work/$name"
}

for round in $(seq "$rounds"); do
    measure wc sh -c "wc -l < '$log'"
    measure one "$plovo" --to 1e300 --plot "$work/p.png" "$log" velocity
    measure three "$plovo" --to 1e300 --plot "$work/p.png" "$log" "$three"
    measure compare "$plovo" --to 1e300 --plot "$work/p.png" --compare "$other" "$log" velocity
    measure export "$plovo" --export "$work/e.csv" "$log" "$three"
done

# The median of column $2 of file $1.
median() {
    sort -n -k"$2" "$work/$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
peak() {
    sort -n -k3 "$work/$1" | tail -1 | awk '{ print $3 }'
}

printf '%s records, %s MB, %s rounds; median wall / processor time, largest peak RSS\n' \
    "$records" "$(($(wc -c <"$log") / 1048576))" "$rounds"
wcWall=$(median wc 1)
oneWall=$(median one 1)
oneCpu=$(median one 2)
for name in wc one three compare export; do
    awk -v n="$name" -v w="$(median "$name" 1)" -v c="$(median "$name" 2)" -v m="$(peak "$name")" \
        -v wc="$wcWall" -v ow="$oneWall" -v oc="$oneCpu" 'BEGIN {
        printf "%-8s %6.3f s  cpu %6.3f s  %5.2fx wc -l  %5.2fx one-panel plot (cpu %5.2fx)  peak RSS %5.1f MB\n",
               n, w, c, w / wc, w / ow, c / oc, m / 1024 }'
done
