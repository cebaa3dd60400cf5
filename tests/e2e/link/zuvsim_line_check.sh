#!/usr/bin/env bash
# zuvsim must notice a host that did not set the device's rate and 8N1: every
# link case relies on its silence meaning the line was right.
#
#   zuvsim_line_check.sh ZUVSIM
set -u
sim=$1
tmp=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
link=$tmp/com1

exec 3< <(exec "$sim" --link "$link" --trace "$tmp/trace" --lifetime 60)
sim_pid=$!
read -r -t 10 -u 3 ready || { echo "zuvsim did not report ready"; exit 1; }

# Waits until the trace holds at least count lines matching pattern.
wait_for() {
  local pattern=$1 count=$2
  for _ in $(seq 500); do
    [ "$(grep -c -- "$pattern" "$tmp/trace")" -ge "$count" ] && return 0
    sleep 0.01
  done
  echo "zuvsim never traced $count x '$pattern'"; cat "$tmp/trace"; exit 1
}

printf 'version\n' > "$link"                  # nothing set: the line is as zuvsim left it
wait_for '^fault:' 1
stty -F "$link" 19200 raw cs8 -parenb -cstopb -echo -ixon -ixoff -crtscts
printf 'host 38400\n' > "$link"               # right for a device at 19200
wait_for '^host 38400' 1
printf '\n' > "$link"                         # still at 19200 after the rate change
wait_for '^fault:' 2
stty -F "$link" 38400
printf '\n' > "$link"                         # right again
kill "$sim_pid"; wait "$sim_pid"; sim_pid=

want='host line: rate 50, 2 stop bits; device expects 19200 8N1 raw
host line: rate 19200; device expects 38400 8N1 raw'
got=$(sed -n 's/^fault: //p' "$tmp/trace")
if [ "$got" != "$want" ]; then
  echo "zuvsim's complaints differ:"; diff <(echo "$want") <(echo "$got"); cat "$tmp/trace"; exit 1
fi
echo "zuvsim reported both faulty line settings and nothing else"
