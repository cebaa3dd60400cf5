#!/usr/bin/env bash
# --trace against zuvsim: a connect, a rate change and a download, then the
# trace's write records, joined, must be exactly the bytes the device logged
# as received, and the trace must name every open, purge, read and close with
# times that never go back. Then a session killed outright: its trace still
# holds every event up to the kill, each line whole. With --vanishing, also a
# device that goes away while the host reads: the trace ends with the failed
# read and the system's reason, then the close that clears the exclusive mode
# (only where a vanished device fails the read; Wine reads it as silence).
#
#   trace_matches_log.sh --sim ZUVSIM [--port-dir DIR] [--vanishing] PROGRAM [ARGS...]
#
# --port-dir is where the device is published as com1 (default: a private port
# map, handed to the program through XDG_CONFIG_HOME; for the Windows build
# under Wine the case prefix's ports folder). The program runs in a folder of
# its own and is given the trace file by a name relative to it.
set -u
here=$(dirname "$(realpath "$0")")
examples=$(realpath "$here/../../../examples")
sim= port_dir= vanishing=
while [ $# -gt 0 ]; do
  case $1 in
    --sim) sim=$2; shift 2 ;;
    --port-dir) port_dir=$2; shift 2 ;;
    --vanishing) vanishing=1; shift ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] && [ -n "$sim" ] || { echo "usage: trace_matches_log.sh --sim ZUVSIM [--port-dir DIR] PROGRAM [ARGS...]"; exit 2; }
if [ -e "$1" ]; then set -- "$(realpath "$1")" "${@:2}"; fi

tmp=$(mktemp -d)
sim_pid= prog_pid=
cleanup() {
  [ -n "$prog_pid" ] && kill -9 "$prog_pid" 2>/dev/null
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
env_args=()
if [ -z "$port_dir" ]; then
  port_dir=$tmp/config/zuvdigi
  mkdir -p "$port_dir"
  env_args=(XDG_CONFIG_HOME="$tmp/config")
fi
cp "$examples/station.cfg" "$examples/filters.rules" "$tmp/"
status=0
fail() { echo "$*"; status=1; }

start_sim() {
  exec 3< <(exec "$sim" --link "$port_dir/com1" --log "$tmp/rx" --lifetime 120 "$@")
  sim_pid=$!
  read -r -t 10 -u 3 _ || { echo "zuvsim did not report ready"; exit 1; }
}
stop_sim() {
  kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; sim_pid=
  exec 3<&-
}
# The bytes of every write record, in order.
written_bytes() {
  sed -n 's/^ *[0-9.]* write [^|]*| \([0-9a-f ]*\) |.*$/\1/p' "$1" | xxd -r -p
}

start_sim
printf 'configure station.cfg\nrules filters.rules\nconnect 1\nbaud 38400\ndownload\nx\n' > "$tmp/in"
(cd "$tmp" && exec env "${env_args[@]}" timeout -k 5 60 "$@" --trace session.trace < in > out 2> err)
rc=$?
stop_sim
[ $rc = 0 ] || fail "the session ended with status $rc"
grep -q 'Downloading Rules succeeded' "$tmp/out" || fail "the download did not succeed: $(tr -d '\r' < "$tmp/out" | tail -5)"
trace=$tmp/session.trace
written_bytes "$trace" > "$tmp/written"
if ! cmp -s "$tmp/written" "$tmp/rx"; then
  fail "the trace's writes are not the bytes the device received ($(wc -c < "$tmp/written") against $(wc -c < "$tmp/rx")):"
  cmp "$tmp/written" "$tmp/rx" | head -3
fi
for event in 'open  COM1 rate=19200 result=0' 'open  COM1 rate=38400 result=0' 'purge' 'close'; do
  grep -q -F -- " $event" "$trace" || fail "the trace has no '$event'"
done
grep -q -E '^ *[0-9.]+ read  COM1 size=[0-9]+ timeout=[0-9]+ got=[1-9][0-9]* \| .*Version' "$trace" ||
  fail "the trace shows no read of the device's version"
tr -d '\r' < "$trace" | awk 'NR > 1 { if ($1 + 0 < last) { print "time goes back at line " NR ": " $0; bad = 1 } last = $1 + 0 }
     END { exit bad }' || fail "the trace's times are not in order"

# Killed in the middle of a session: what happened until then is all there.
start_sim
mkfifo "$tmp/console"
(cd "$tmp" && exec env "${env_args[@]}" "$@" --trace killed.trace < console > killed.out 2>&1) &
prog_pid=$!
exec 4> "$tmp/console"
printf 'connect 1\n' >&4
for _ in $(seq 300); do grep -q 'Connected at 19200' "$tmp/killed.out" 2>/dev/null && break; sleep 0.05; done
grep -q 'Connected at 19200' "$tmp/killed.out" || fail "the session to be killed did not connect"
kill -9 "$prog_pid"; wait "$prog_pid" 2>/dev/null; prog_pid=
exec 4>&-
stop_sim
written_bytes "$tmp/killed.trace" > "$tmp/killed.written"
cmp -s "$tmp/killed.written" "$tmp/rx" || fail "the killed session's trace lost writes the device received"
[ -z "$(tail -c 1 "$tmp/killed.trace" | tr -d '\n')" ] || fail "the killed session's trace ends in the middle of a line"

if [ -n "$vanishing" ]; then
  start_sim --vanish-on-version
  printf 'connect 1\nx\n' > "$tmp/in"
  (cd "$tmp" && exec env "${env_args[@]}" timeout -k 5 60 "$@" --trace vanished.trace < in > out 2> err)
  rc=$?
  stop_sim
  [ $rc = 2 ] || fail "the vanished device ended the session with status $rc instead of 2"
  failed=$(tail -2 "$tmp/vanished.trace" | head -1 | tr -d '\r')
  last=$(tail -1 "$tmp/vanished.trace" | tr -d '\r')
  [[ "$failed" =~ ^\ *[0-9.]+\ read\ \ COM1\ failed\ error=\"Input/output\ error\"$ ]] ||
    fail "the trace of the vanished device does not hold the failed read before the close: '$failed'"
  [[ "$last" =~ ^\ *[0-9.]+\ close$ ]] ||
    fail "the trace of the vanished device does not end with the port's close: '$last'"
fi

if [ $status = 0 ]; then
  echo "the trace holds every byte the device received, and survives a kill"
else
  echo "trace:"; head -30 "$trace"
fi
exit $status
