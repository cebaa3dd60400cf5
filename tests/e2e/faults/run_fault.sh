#!/usr/bin/env bash
# One case of the fault matrix (cases.txt beside this script): the program
# against zuvsim misbehaving in one way at one stage. The case must end within
# its bound (the waits it may run into, summed, plus the margin for starting
# the program and the parts that go at the device's pace), end with its
# status, print its messages in their order, and never claim more than the
# device's own record shows: no "succeeded" for a transfer the device did not
# take whole. A case with the interrupt key presses it once the device (or the
# console) reaches the case's point; the program must then stop sending,
# close the port so that another program opens it at once, and say so.
#
#   run_fault.sh --sim ZUVSIM [--port-dir DIR] [--margin SECONDS] [--wine] CASES NAME PROGRAM [ARGS...]
#
# --port-dir: where the device is published as com1 (default: a private port
# map given to the program through XDG_CONFIG_HOME; under Wine the case
# prefix's ports folder). --wine: the program is the Windows build under Wine
# (CR LF output; the reopening check runs as the same user).
set -u
. "$(dirname "$(realpath "$0")")/../compare.sh"
sim= port_dir= margin=4 wine=
while [ $# -gt 0 ]; do
  case $1 in
    --sim) sim=$2; shift 2 ;;
    --port-dir) port_dir=$2; shift 2 ;;
    --margin) margin=$2; shift 2 ;;
    --wine) wine=1; shift ;;
    *) break ;;
  esac
done
[ $# -ge 3 ] && [ -n "$sim" ] || { echo "usage: run_fault.sh --sim ZUVSIM [--port-dir DIR] [--margin S] [--wine] CASES NAME PROGRAM [ARGS...]"; exit 2; }
cases=$(realpath "$1") name=$2; shift 2
if [ -e "$1" ]; then set -- "$(realpath "$1")" "${@:2}"; fi
case_dir=$(dirname "$cases")

trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

# The named waits, in seconds, and the case's row.
declare -A waits=()
while read -r kw wname seconds _; do
  [ "$kw" = wait ] && waits[$wname]=$seconds
done < "$cases"
row=$(grep -E "^$name[[:space:]]*\|" "$cases")
[ -n "$row" ] || { echo "no case $name in $cases"; exit 2; }
IFS='|' read -r _ _ bound_expr device console key expect <<< "$row"
bound_expr=$(trim "$bound_expr") device=$(trim "$device") console=$(trim "$console")
key=$(trim "$key") expect=$(trim "$expect")

# The bound: the waits named in the case, summed, and the margin.
bound_sum=$bound_expr
for w in "${!waits[@]}"; do bound_sum=$(sed -E "s/(^|[^a-z_])$w([^a-z_]|$)/\1${waits[$w]}\2/g" <<< "$bound_sum"); done
if ! bound=$(awk "BEGIN { v = $bound_sum + $margin; if (v + 0 != v) exit 1; printf \"%.2f\", v }" 2> /dev/null) ||
   grep -q '[a-z]' <<< "$bound_sum"; then
  echo "case $name: the bound '$bound_expr' names a wait that cases.txt does not define"
  exit 2
fi

tmp=$(mktemp -d)
sim_pid= prog_pid=
cleanup() {
  [ -n "$prog_pid" ] && kill -KILL "$prog_pid" 2>/dev/null
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
chmod 755 "$tmp"

use_port_map=
if [ -z "$port_dir" ]; then
  use_port_map=1
  port_dir=$tmp/config/zuvdigi
  mkdir -p "$port_dir"
  chmod 755 "$tmp/config" "$port_dir"
fi
env_args=()
[ -n "$use_port_map" ] && env_args=(XDG_CONFIG_HOME="$tmp/config")

# Another program opens the port after the key: as an unprivileged user where
# that is possible, since the exclusive mode keeps out only those.
reopen_runner=()
if [ -n "$key" ] && [ "$key" != - ] && [ -z "$wine" ] && [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null; then
  reopen_runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

eval "device_args=(${device//@RUN@/$tmp})"
[ ${#reopen_runner[@]} -gt 0 ] && device_args+=(--share)
exec 3< <(exec "$sim" --link "$port_dir/com1" --log "$tmp/rx" --trace "$tmp/trace" --lifetime 180 "${device_args[@]}" 2> "$tmp/sim.err")
sim_pid=$!
read -r -t 10 -u 3 _ || { echo "zuvsim did not report ready"; cat "$tmp/sim.err"; exit 1; }

# The console: the lines of the case. Those after "(key)" are typed only
# once the key was pressed; until then the console stays open.
IFS=';' read -r -a items <<< "$console"
lines=() after_key=() seen_key=
for item in "${items[@]}"; do
  item=$(trim "$item")
  if [ "$item" = "(key)" ]; then seen_key=1
  elif [ -n "$seen_key" ]; then after_key+=("$item")
  else lines+=("$item")
  fi
done
mkfifo "$tmp/console"

size_of() { stat -c %s "$1" 2> /dev/null || echo 0; }
# The key's point has come: TEXT in the device's trace or the program's
# output, or BYTES received by the device.
key_signal= key_where= key_what=
if [ -n "$key" ] && [ "$key" != - ]; then
  key_signal=${key%%@*} rest=${key#*@}
  key_where=${rest%%:*} key_what=${rest#*:}
fi
key_point_reached() {
  case $key_where in
    trace) grep -qF -- "$key_what" "$tmp/trace" 2> /dev/null ;;
    out) grep -qF -- "$key_what" "$tmp/out" 2> /dev/null ;;
    log) [ "$(size_of "$tmp/rx")" -ge "$key_what" ] ;;
  esac
}

start=$EPOCHREALTIME
(cd "$case_dir" && exec env "${env_args[@]}" "$@" < "$tmp/console" > "$tmp/out" 2> "$tmp/err") &
prog_pid=$!
exec 4> "$tmp/console"
for line in "${lines[@]}"; do printf '%s\n' "$line" >&4; done
[ -n "$seen_key" ] || exec 4>&-
# A program that already ended at the key has no console left to type into.
trap '' PIPE

timed_out= key_sent= log_at_key=
while kill -0 "$prog_pid" 2> /dev/null; do
  if [ -n "$key_signal" ] && [ -z "$key_sent" ] && key_point_reached; then
    log_at_key=$(size_of "$tmp/rx")
    kill -"$key_signal" "$prog_pid"
    key_sent=1
    if [ -n "$seen_key" ]; then
      # As an operator would, a moment later: Wine hands the key to the
      # program on a thread of its own, shortly after the signal.
      sleep 1
      for line in "${after_key[@]}"; do printf '%s\n' "$line" >&4 2> /dev/null; done
      exec 4>&-
    fi
  fi
  if awk "BEGIN { exit !($EPOCHREALTIME - $start > $bound) }"; then
    kill -KILL "$prog_pid"
    timed_out=1
    break
  fi
  sleep 0.01
done
wait "$prog_pid"
got_rc=$?
prog_pid=
exec 4>&-
elapsed=$(awk "BEGIN { printf \"%.2f\", $EPOCHREALTIME - $start }")

# What the host wrote reaches the device's log before the device sees the close.
if [ "$(size_of "$tmp/rx")" -gt 0 ] && ! grep -q '^hang up:\|^vanish$' "$tmp/trace"; then
  for _ in $(seq 300); do grep -q '^host closed the port$' "$tmp/trace" && break; sleep 0.01; done
fi
log_at_end=$(size_of "$tmp/rx")

# The device's record of the case itself, before another program opens the port.
cp "$tmp/trace" "$tmp/case.trace"
reopen_ok=1
if [ -n "$key_sent" ] && [ -z "$timed_out" ]; then
  printf 'connect 1\nx\n' > "$tmp/reopen.in"
  (cd "$tmp" && exec env "${env_args[@]}" timeout -k 2 30 "${reopen_runner[@]}" "$@" \
     < "$tmp/reopen.in" > "$tmp/reopen.out" 2>&1)
  # The port opened; whether the device then answers depends on the state the key left it in.
  if ! grep -q 'Connecting at ' "$tmp/reopen.out" || grep -q 'open COM port' "$tmp/reopen.out"; then reopen_ok=; fi
fi

kill "$sim_pid" 2> /dev/null
wait "$sim_pid"
sim_rc=$?
sim_pid=
exec 3<&-

normalize_line_ends "$tmp/out"
normalize_line_ends "$tmp/err"
[ -e "$tmp/reopen.out" ] && normalize_line_ends "$tmp/reopen.out"
cat "$tmp/out" "$tmp/err" > "$tmp/all"

status=0
fail() { echo "case $name: $*"; status=1; }

[ -n "$timed_out" ] && fail "did not end within its bound of $bound s ($bound_expr + $margin s): killed"
[ -z "$timed_out" ] && [ -n "$key_signal" ] && [ -z "$key_sent" ] &&
  fail "ended before the interrupt key's point ($key_where: $key_what) came"

IFS='~' read -r -a wanted <<< "$expect"
want_rc=$(trim "${wanted[0]}")
[ -z "$timed_out" ] && { compare_exit_status "$got_rc" "$want_rc" || status=1; }

# The expected texts, in this order, and the files the run must have left.
rest=$(cat "$tmp/all")
for ((i = 1; i < ${#wanted[@]}; i++)); do
  text=$(trim "${wanted[i]}")
  if [[ $text == "file "* ]]; then
    read -r _ kept made <<< "$text"
    cmp -s "$tmp/$kept" "$case_dir/$made" || fail "the run's $kept differs from $made"
    continue
  fi
  after=${rest#*"$text"}
  if [ "$after" = "$rest" ]; then
    fail "no '$text' (after the texts before it) in what the program printed"
    break
  fi
  rest=$after
done

# No success the device's own record does not back.
has() { grep -qF -- "$1" "$tmp/all"; }
traced() { grep -qF -- "$1" "$tmp/case.trace"; }
for transfer in Configuration:conf Rules:rules; do
  if has "Downloading ${transfer%%:*} succeeded" &&
     { ! traced "download: ${transfer#*:} taken whole" || traced "download: fault: ${transfer#*:} announced"; }; then
    fail "printed 'Downloading ${transfer%%:*} succeeded', but the device did not take the ${transfer#*:} transfer whole"
  fi
done
passed=$(sed -n 's/.*Serial test passed: wrote \([0-9]*\) characters.*/\1/p' "$tmp/all")
if [ -n "$passed" ] && ! grep -qE "^serialtest (ended by 0x03|: host left without 0x03) after $passed bytes" "$tmp/case.trace"; then
  fail "printed 'Serial test passed: wrote $passed characters', but the device echoed another count"
fi
if has "Firmware update succeeded!"; then
  fw_file=$(sed -n 's/^[[:space:]]*firmware[[:space:]]*[^,	 ]*[,	]\(.*\)$/\1/p' <<< "$(tr ';' '\n' <<< "$console")" | head -1)
  fw_file=$(trim "$fw_file")
  if [ ! -e "$tmp/image/records.txt" ] ||
     ! cmp -s <(tr -d '\r' < "$case_dir/$fw_file" | grep '^:') "$tmp/image/records.txt"; then
    fail "printed 'Firmware update succeeded!', but the boot loader did not keep every record of $fw_file"
  fi
fi
if grep -q '^fault: ' "$tmp/case.trace"; then
  fail "the device complained about the host's line settings:"; grep '^fault: ' "$tmp/case.trace" | head -5
fi

if [ -n "$key_sent" ]; then
  last=$(tail -n 1 "$tmp/out")
  [[ $last == $'\a\aInterrupted '* ]] || fail "the last line is not the interrupted line: $(cat -A <<< "$last")"
  # An upload goes on without a pause: there the interrupted line's count of
  # records taken is the point, and nothing beyond the record in flight may
  # have reached the device.
  taken=$(sed -n 's/.*, after \([0-9]*\) of [0-9]* records:.*/\1/p' <<< "$last")
  if [ -n "$taken" ]; then
    highest=$(sed -n 's/^boot loader: record \([0-9]*\): .*/\1/p' "$tmp/case.trace" | sort -n | tail -1)
    [ "${highest:-0}" -le $((taken + 1)) ] ||
      fail "the device received record $highest after the key, when $taken had been taken"
  elif [ "$log_at_end" != "$log_at_key" ]; then
    fail "the device received $((log_at_end - log_at_key)) more bytes after the key (its log: $log_at_key, then $log_at_end)"
  fi
  if [ -z "$reopen_ok" ]; then
    fail "another program could not connect right after the key${reopen_runner:+ (as an unprivileged user)}:"
    grep -v "^$" "$tmp/reopen.out" | tail -4
  fi
fi
[ "$sim_rc" = 0 ] || { fail "zuvsim ended with status $sim_rc"; head -20 "$tmp/sim.err"; }

if [ $status != 0 ]; then
  echo "ran $elapsed s of its bound of $bound s; standard output (cat -A, last lines):"
  tail -n 15 "$tmp/out" | cat -A
  [ -s "$tmp/err" ] && { echo "standard error:"; head -10 "$tmp/err"; }
  echo "device trace (last lines):"; tail -n 25 "$tmp/case.trace"
fi
exit $status
