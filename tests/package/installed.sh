#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the programs and reads
# the manual pages from there.
#
#   installed.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "$*"; status=1; }

cmake --install "$build" --prefix "$tmp/prefix" > "$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
for f in bin/zuvdigi bin/zuvsim share/man/man1/zuvdigi.1 share/man/man1/zuvsim.1 \
         share/doc/zuvdigi/README.md share/doc/zuvdigi/examples/station.cfg share/doc/zuvdigi/examples/filters.rules; do
  [ -f "$tmp/prefix/$f" ] || fail "not installed: $f"
done

got=$("$tmp/prefix/bin/zuvdigi" --version < /dev/null) || fail "installed zuvdigi --version failed"
[ "${got%%$'\n'*}" = "zuvdigi $version" ] || fail "installed zuvdigi --version said: $got"
"$tmp/prefix/bin/zuvsim" --help > "$tmp/sim-help" 2>&1 || fail "installed zuvsim --help failed: $(cat "$tmp/sim-help")"
grep -q -- '--link' "$tmp/sim-help" || fail "installed zuvsim --help does not list --link"

for page in zuvdigi zuvsim; do
  man_page=$tmp/prefix/share/man/man1/$page.1
  warnings=$(groff -ww -man -Tutf8 "$man_page" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
  rendered=$(MANWIDTH=80 man -l "$man_page" 2> "$tmp/man.err")
  [ -s "$tmp/man.err" ] && fail "man -l $page.1 complained: $(cat "$tmp/man.err")"
  grep -q "^NAME" <<< "$rendered" || fail "man -l $page.1 rendered no NAME section"
done
[ $status = 0 ] && echo "installed into a prefix; both programs run and both pages render without warnings"
exit $status
