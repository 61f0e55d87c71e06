#!/bin/sh
# The explorer's budgets: a run's first view against the extraction the window's first view
# needs, a folder's runs page against --summary of the folder, a series of a whole run and of a
# stretch, and the memory of a served run and of a folder of runs with ten opened.
# Usage: bench/serve.sh [RECORDS [ROUNDS]]   (3,000,000 and 5 by default; logs in $TMPDIR)
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
records=${1:-3000000}
rounds=${2:-5}
dir=$(mktemp -d "${TMPDIR:-/tmp}/plovo-serve-bench-XXXXXX")
server=
trap '[ -n "$server" ] && kill $server 2>/dev/null; rm -rf "$dir"' EXIT
log="$dir/run.dat"
"$build/genlog" "$records" >"$log"
"$build/genlog" 200000 >"$dir/small.dat"
mkdir "$dir/folder"
for i in $(seq -w 1 100); do ln -s "$dir/small.dat" "$dir/folder/run$i.dat"; done
cat "$log" "$dir/small.dat" >/dev/null  # in the page cache

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }

# Starts the explorer on the arguments; sets $base and $auth.
serve() {
    TMPDIR="$dir" "$build/plovo" --serve --port 0 "$@" 2>"$dir/serve.err" &
    server=$!
    while ! grep -q serving "$dir/serve.err" 2>/dev/null; do sleep 0.05; done
    url=$(grep -o 'http://[^ ]*' "$dir/serve.err")
    base=${url%%/\?*}
    auth="Authorization: token ${url##*token=}"
}
stop() { kill "$server"; wait "$server" || true; server=; }
get() { curl -s -o /dev/null -w '%{time_total}\n' -H "$auth" "$base$1"; }

three="charts=velocity,brake-pressure,pipe-pressure"
echo "load $(cut -d' ' -f1-3 /proc/loadavg); $records records ($(du -m "$log" | cut -f1) MB), $rounds rounds"
for round in $(seq "$rounds"); do
    seconds "$build/plovo" --snapshot "$dir/s.png" "$log" >>"$dir/extraction"
    serve "$log"
    get "/api/runs/1/series?$three&width=1600" >>"$dir/first"
    for i in 1 2 3; do get "/api/runs/1/series?$three&width=1600" >>"$dir/whole"; done
    for i in 1 2 3; do
        get "/api/runs/1/series?$three&width=1600&at=150000&to=150300" >>"$dir/stretch"
    done
    ps -o rss= -p "$server" >>"$dir/rss"
    stop
    seconds "$build/plovo" --summary - "$dir"/folder/*.dat >>"$dir/summary"
    serve "$dir/folder"
    get "/api/runs.csv" >>"$dir/runs"
    for i in $(seq 1 10); do get "/api/runs/$i/series?$three&width=1600" >/dev/null; done
    ps -o rss= -p "$server" >>"$dir/folder-rss"
    stop
done
e=$(median <"$dir/extraction") f=$(median <"$dir/first")
s=$(median <"$dir/summary") r=$(median <"$dir/runs")
echo "first view         $f s   extraction (--snapshot) $e s   budget $(echo "$e + 0.2" | bc) s"
echo "runs page (100)    $r s   --summary of them $s s   budget $(echo "$s + 0.5" | bc) s"
echo "whole run, 1600    $(median <"$dir/whole") s   budget 0.050 s"
echo "stretch of 3000    $(median <"$dir/stretch") s   budget 0.005 s"
echo "one run served     $(($(median <"$dir/rss") / 1024)) MiB   budget 32 MiB"
echo "100 runs, 10 open  $(($(median <"$dir/folder-rss") / 1024)) MiB   budget 128 MiB"
