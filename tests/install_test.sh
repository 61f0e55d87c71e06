#!/bin/sh
# Installs plovo into a temporary prefix (given relative, with a space and a quote in its name)
# and checks the launcher, the settings it reads from another directory, and the man page
# against --help.
# Usage: install_test.sh BUILD_DIR LOG
set -eu
build=$1 log=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix="$tmp/p q'r"
(cd "$tmp" && cmake --install "$build" --prefix "p q'r" >/dev/null)
ini="$prefix/etc/plovo/plovo.ini"
man="$prefix/share/man/man1/plovo.1"
[ -f "$prefix/share/doc/plovo/ReadMe.txt" ] || fail "no ReadMe.txt"
[ "$(readlink "$prefix/lib/plovo/plovo.ini")" = "$ini" ] || fail "lib/plovo/plovo.ini is no link to $ini"

# Through PATH, from a directory with a plovo.ini of its own: the installed settings count.
mkdir "$tmp/elsewhere" && cd "$tmp/elsewhere"
printf '[display]\nwidth = 120\nheight = 90\n' >plovo.ini
printf '[display]\nwidth = 0\n' >"$ini"
status=0 && out=$(PATH="$prefix/bin:$PATH" plovo "$log" 2) || status=$?
[ $status -eq 1 ] || fail "width 0 gave status $status"
echo "$out" | grep -qF "display:width 0 in '$prefix/lib/plovo/plovo.ini'" || fail "read: $out"
cp plovo.ini "$ini"
out=$(PATH="$prefix/bin:$PATH" plovo --snapshot "a b.png" "$log" 2) || fail "snapshot: $out"
[ -z "$out" ] && [ -s "a b.png" ] || fail "a name with a space changed on the way: $out"
out=$(PATH="$prefix/bin:$PATH" plovo "" 2) || true
[ "$out" = "plovo: cannot open log '': No such file or directory" ] || fail "'' lost: $out"

# The launcher execs: the process is plovo itself, and a signal ends it with plovo's status.
mkfifo fifo
"$prefix/bin/plovo" fifo 2 >/dev/null &
pid=$!
exec 3>fifo  # returns once plovo has opened the FIFO
[ "$(readlink /proc/$pid/exe)" = "$prefix/lib/plovo/plovo" ] || fail "the launcher stays"
kill -TERM $pid
status=0 && wait $pid || status=$?
[ $status -eq 143 ] || fail "SIGTERM gave status $status"
exec 3>&-

# Every option --help lists is in the man page, which states the version and renders cleanly.
options=$("$prefix/bin/plovo" --help | grep '^ *-' | grep -oE '(^| )--?[a-zA-Z][-a-zA-Z]*')
[ "$(echo "$options" | wc -l)" -ge 4 ] || fail "no options found in --help"
for option in $options; do
    sed 's/\\-/-/g' "$man" | grep -qE -- "(^|[^-a-zA-Z])$option([^-a-zA-Z]|\$)" ||
        fail "$option is not in the man page"
done
grep -qF "\"$("$prefix/bin/plovo" --version)\"" "$man" || fail "the man page's version is stale"
warnings=$(groff -t -man -ww -z "$man" 2>&1)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
