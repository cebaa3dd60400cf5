#!/usr/bin/env bash
# `make demo`: zuvsim as COM1 in a private port map, and zuvdigi started
# against it, so `connect 1` works at once. The device goes when zuvdigi ends.
set -eu
build=${1:-build}
map=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$map"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$map
exec 3< <(exec "$build/sim/zuvsim" --com 1 --trace "$map/device.log")
sim_pid=$!
read -r -t 10 -u 3 ready || { echo "zuvsim did not start"; exit 1; }
echo "$ready"
echo "The emulated Zuvedidude is COM1: type 'connect 1', then 'baud 38400' or 'disconnect'."
echo
set +e
"$build/zuvdigi"
status=$?
exec 3<&-
exit $status
