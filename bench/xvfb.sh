# Sourced by the benchmarks that need a display: makes a scratch directory $work, starts a private
# Xvfb as $DISPLAY, and on every way out ends $program (when set) and the server and removes $work.
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
# Xvfb's own output goes nowhere, so that a pipe reading the benchmark's output sees its end.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
