#!/usr/bin/env bash
# --list-ports against a port map whose entries lead to zuvsim, to nothing and
# to a regular file: each is listed with its target and whether it is there,
# and the list ends with the serial devices of this machine.
#
#   list_ports.sh ZUVDIGI ZUVSIM
set -u
zuvdigi=$(realpath "$1") sim=$(realpath "$2")
tmp=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
status=0
fail() { echo "$*"; status=1; }
map=$tmp/config/zuvdigi

XDG_CONFIG_HOME=$tmp/config "$zuvdigi" --list-ports > "$tmp/out" 2>&1 || fail "--list-ports ended with status $?"
[ "$(head -1 "$tmp/out")" = "Port map $map: no such folder" ] || fail "without a port map: $(head -1 "$tmp/out")"

mkdir -p "$map"
exec 3< <(exec "$sim" --link "$map/com1" --lifetime 60)
sim_pid=$!
read -r -t 10 -u 3 _ || { echo "zuvsim did not report ready"; exit 1; }
pty=$(readlink "$map/com1")
ln -s "$tmp/unplugged" "$map/com2"
echo notes > "$tmp/notes.txt"
ln -s "$tmp/notes.txt" "$map/com7"

XDG_CONFIG_HOME=$tmp/config "$zuvdigi" --list-ports > "$tmp/out" 2>&1
rc=$?
[ $rc = 0 ] || fail "--list-ports ended with status $rc"
cat > "$tmp/want" <<WANT
Port map $map:
  COM1 -> $pty: present
  COM2 -> $tmp/unplugged: missing
  COM7 -> $tmp/notes.txt: not a serial device
WANT
head -4 "$tmp/out" > "$tmp/map_part"
diff "$tmp/want" "$tmp/map_part" > "$tmp/diff" || { fail "the port map (- expected, + listed):"; cat "$tmp/diff"; }
sed -n 5p "$tmp/out" | grep -q -E '^Serial devices:( none found)?$' || fail "no list of serial devices after the map"

# HOME alone: the port map under it, written with ~ in what is shown.
mkdir -p "$tmp/home"
env -u XDG_CONFIG_HOME HOME=$tmp/home "$zuvdigi" --list-ports > "$tmp/out" 2>&1
[ "$(head -1 "$tmp/out")" = "Port map ~/.config/zuvdigi: no such folder" ] || fail "under HOME: $(head -1 "$tmp/out")"

[ $status = 0 ] && echo "the port map's entries are listed with their targets, then the serial devices"
[ $status = 0 ] || { echo "listed:"; cat "$tmp/out"; }
exit $status
