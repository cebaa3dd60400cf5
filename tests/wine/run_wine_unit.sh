#!/usr/bin/env bash
# The Win32 port test under Wine, with COM1 led to zuvsim on a pseudo-terminal:
# a silent device that logs every byte it receives for the test to read.
#
#   run_wine_unit.sh BASE_PREFIX ZUVSIM TEST_EXE
set -u
here=$(dirname "$(realpath "$0")")
base_prefix=$1 sim=$2 test_exe=$3
. "$here/take_slot.sh"
take_slot "$base_prefix" || exit 1

tmp=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

exec 3< <(exec "$sim" --silent --link "$slot/ports/com1" --log "$tmp/rx" --lifetime 120 9>&-)
sim_pid=$!
read -r -t 10 -u 3 ready || { echo "zuvsim did not report ready"; exit 1; }

# The log is read through Wine's Z: drive, the root of the Linux file system.
WINEPREFIX=$slot WINEDEBUG=-all ZUV_DEVICE_LOG="Z:${tmp//\//\\}\\rx" \
  timeout -k 5 100 wine "$test_exe" 9>&-
