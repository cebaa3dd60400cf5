#!/usr/bin/env bash
# One connection case of the link suite against zuvdigi.exe under Wine.
#
#   run_wine_link.sh BASE_PREFIX ZUVSIM CASE.in ZUVDIGI_EXE
#
# The case takes a case prefix of its own from BASE_PREFIX.slots (made by
# wine_prefix.sh init), held with a lock for as long as it runs, so cases run
# side by side and each may use COM1: the emulator is published as
# SLOT/ports/comN, which the slot's dosdevices/comN leads to.
set -u
here=$(dirname "$(realpath "$0")")
base_prefix=$1 sim=$2 case_in=$3 exe=$4
slots_dir=$base_prefix.slots

# Waits for a free slot; the test's own time-out bounds the wait.
slot=
while [ -z "$slot" ]; do
  for dir in "$slots_dir"/*/; do
    dir=${dir%/}
    [ -e "$dir/.zuv-prefix-ready" ] || continue
    exec 9> "$dir.lock"
    if flock -n 9; then slot=$dir; break; fi
    exec 9>&-
  done
  if [ -z "$slot" ]; then
    ls "$slots_dir"/*/.zuv-prefix-ready > /dev/null 2>&1 || { echo "no Wine case prefix in $slots_dir"; exit 1; }
    sleep 0.2
  fi
done

# A case killed earlier may have left its device published.
rm -f "$slot"/ports/com*
# The program ends with the case (run_link.sh bounds it with a time-out); the
# slot's wineserver stays up for the next case until wine.prefix.stop.
# Nothing started from here may inherit the lock (fd 9): a wineserver would
# hold the slot long after the case.
bash "$here/wine_prefix.sh" start "$slot" 9>&- || { echo "the wineserver of $slot did not start"; exit 1; }

WINEPREFIX=$slot WINEDEBUG=-all ZUV_GOLDEN_CRLF=1 \
  bash "$here/../e2e/link/run_link.sh" --sim "$sim" --port-dir "$slot/ports" "$case_in" wine "$exe" 9>&-
