#!/usr/bin/env bash
# The trace check of tests/e2e/trace against zuvdigi.exe under Wine, in a case
# prefix of its own (take_slot.sh), the emulator published as SLOT/ports/com1.
#
#   run_wine_trace.sh BASE_PREFIX ZUVSIM ZUVDIGI_EXE
set -u
here=$(dirname "$(realpath "$0")")
base_prefix=$1 sim=$2 exe=$3
. "$here/take_slot.sh"
take_slot "$base_prefix" || exit 1

WINEPREFIX=$slot WINEDEBUG=-all \
  bash "$here/../e2e/trace/trace_matches_log.sh" --sim "$sim" --port-dir "$slot/ports" wine "$exe" 9>&-
