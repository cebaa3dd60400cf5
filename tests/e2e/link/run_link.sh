#!/usr/bin/env bash
# Drives the program through one scripted console session against zuvsim, the
# emulated device, and checks what it printed, its exit status, and every byte
# the device received.
#
#   run_link.sh --sim ZUVSIM [--port-dir DIR] CASE.in PROGRAM [ARGS...]
#
# --port-dir is the folder where the device is published as comN (default: a
# private port map, handed to the program through XDG_CONFIG_HOME); for a
# Windows build under Wine it is $WINEPREFIX/dosdevices.
#
# Per case, beside CASE.in:
#   CASE.out     expected standard output, byte for byte
#   CASE.rc      expected exit status
#   CASE.sim     zuvsim options (optional); --com N publishes the device as comN;
#                @RUN@ stands for the run's own folder, where the emulator can
#                write what it kept (e.g. --received @RUN@/received)
#   CASE.files/  files the run must have left in its folder, byte for byte
#                (e.g. CASE.files/received/conf.bin); each is compared
#   CASE.rx      the exact bytes the device must have received (optional)
#   CASE.err     expected standard error (optional; unchecked without it)
#   CASE.faults  the device's complaints about the host's line settings, one a
#                line (optional; without it there must be none)
#   CASE.nobody  run the program as an unprivileged user (skipped, status 77,
#                where that is impossible)
#   CASE.setup   a bash script run in the run's folder before the session, with
#                the case's folder in ZUV_CASE_DIR: files made at test time
#                (e.g. firmware files made by real tools); @RUN@ in CASE.in
#                names the run's folder, so the session can use them
#   CASE.same    pairs of files in the run's folder, one pair a line, that must
#                be equal byte for byte (what the emulator kept and what a tool
#                made from the same input)
#   CASE.mask    a sed -E script applied to standard output before it is
#                compared or recorded, for what depends on the wall clock
# ZUV_GOLDEN_CRLF=1 turns CR LF back into LF in the output first (a Windows console).
# ZUV_LINK_RECORD=1 writes what happened as CASE.out, CASE.rc and CASE.rx instead
# of comparing: read every recorded file before committing it.
set -u
. "$(dirname "$(realpath "$0")")/../compare.sh"
sim=
port_dir=
while [ $# -gt 0 ]; do
  case $1 in
    --sim) sim=$2; shift 2 ;;
    --port-dir) port_dir=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] && [ -n "$sim" ] || { echo "usage: run_link.sh --sim ZUVSIM [--port-dir DIR] CASE.in PROGRAM [ARGS...]"; exit 2; }
case_in=$(realpath "$1"); shift
# The program runs in the case's folder: a program named by a relative path is found first.
if [ -e "$1" ]; then set -- "$(realpath "$1")" "${@:2}"; fi
base=${case_in%.in}
want_rc=$(tr -d ' \r\n' < "$base.rc" 2>/dev/null)

tmp=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

runner=()
if [ -e "$base.nobody" ]; then
  if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
    echo "skipped: running as another user needs root and setpriv"
    exit 77
  fi
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod 755 "$tmp"
fi

use_port_map=
if [ -z "$port_dir" ]; then
  use_port_map=1
  port_dir=$tmp/config/zuvdigi
  mkdir -p "$port_dir"
  chmod 755 "$tmp/config" "$port_dir"
fi

sim_args=()
if [ -e "$base.sim" ]; then
  eval "sim_args=($(sed "s|@RUN@|$tmp|g" "$base.sim"))"
fi
com=1
opts=()
for ((i = 0; i < ${#sim_args[@]}; i++)); do
  if [ "${sim_args[i]}" = --com ]; then com=${sim_args[i + 1]}; i=$((i + 1)); else opts+=("${sim_args[i]}"); fi
done

if [ -e "$base.setup" ]; then
  if ! (cd "$tmp" && ZUV_CASE_DIR=$(dirname "$case_in") bash "$base.setup") > "$tmp/setup.log" 2>&1; then
    echo "$base.setup failed:"; head -20 "$tmp/setup.log"
    exit 1
  fi
fi
sed "s|@RUN@|$tmp|g" "$case_in" > "$tmp/in"

exec 3< <(exec "$sim" --link "$port_dir/com$com" --log "$tmp/rx" --trace "$tmp/trace" --lifetime 120 "${opts[@]}")
sim_pid=$!
if ! read -r -t 10 -u 3 ready; then
  echo "zuvsim did not report ready"
  exit 1
fi

env_args=()
[ -n "$use_port_map" ] && env_args=(XDG_CONFIG_HOME="$tmp/config")
(cd "$(dirname "$case_in")" &&
  exec env "${env_args[@]}" timeout -k 5 60 "${runner[@]}" "$@" < "$tmp/in" > "$tmp/out" 2> "$tmp/err")
got_rc=$?

kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=
exec 3<&-

normalize_line_ends "$tmp/out"
if [ -e "$base.mask" ]; then
  sed -E -f "$base.mask" "$tmp/out" > "$tmp/out.masked" && mv "$tmp/out.masked" "$tmp/out"
fi

if [ -n "${ZUV_LINK_RECORD:-}" ]; then
  cp "$tmp/out" "$base.out"; echo "$got_rc" > "$base.rc"; cp "$tmp/rx" "$base.rx"
  [ -s "$tmp/err" ] && cp "$tmp/err" "$base.err"
  if [ -d "$base.files" ]; then
    (cd "$base.files" && find . -type f) | while read -r f; do cp "$tmp/$f" "$base.files/$f"; done
  fi
  sed -n 's/^fault: //p' "$tmp/trace" > "$tmp/faults"
  [ -s "$tmp/faults" ] && cp "$tmp/faults" "$base.faults"
  exit 0
fi

status=0
compare_text "standard output" "$base.out" "$tmp/out" 60 || status=1
compare_exit_status "$got_rc" "$want_rc" || status=1
if [ -e "$base.err" ]; then
  compare_text "standard error" "$base.err" "$tmp/err" 20 || status=1
fi
if [ -e "$base.rx" ] && ! cmp -s "$base.rx" "$tmp/rx"; then
  echo "the device received other bytes than $base.rx (- expected, + actual):"
  diff <(od -An -c "$base.rx") <(od -An -c "$tmp/rx") | head -20
  status=1
fi
if [ -d "$base.files" ]; then
  while read -r f; do
    if ! cmp -s "$base.files/$f" "$tmp/$f"; then
      echo "the run left ${f#./} other than $base.files/${f#./} (- expected, + actual):"
      diff <(od -An -tx1 -v "$base.files/$f") <(od -An -tx1 -v "$tmp/$f" 2>&1) | head -20
      status=1
    fi
  done < <(cd "$base.files" && find . -type f | sort)
fi
if [ -e "$base.same" ]; then
  while read -r kept made; do
    [ -n "$kept" ] || continue
    if ! cmp -s "$tmp/$kept" "$tmp/$made"; then
      echo "the run's $kept differs from $made (- $made, + $kept):"
      diff <(od -An -tx1 -v "$tmp/$made" 2>&1) <(od -An -tx1 -v "$tmp/$kept" 2>&1) | head -20
      status=1
    fi
  done < "$base.same"
fi
want_faults=/dev/null
[ -e "$base.faults" ] && want_faults=$base.faults
if ! diff <(sed -n 's/^fault: //p' "$tmp/trace") "$want_faults" > "$tmp/faults.diff"; then
  echo "the device's complaints about the host's line settings (- actual, + expected):"
  head -20 "$tmp/faults.diff"
  status=1
fi
if [ $status != 0 ]; then
  if [ -s "$tmp/err" ] && [ ! -e "$base.err" ]; then echo "standard error:"; head -20 "$tmp/err"; fi
  echo "device trace:"; head -40 "$tmp/trace"
fi
exit $status
