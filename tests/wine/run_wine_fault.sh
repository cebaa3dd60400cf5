#!/usr/bin/env bash
# One case of the fault matrix against zuvdigi.exe under Wine, in a case
# prefix of its own (take_slot.sh), the device published as SLOT/ports/com1.
#
#   run_wine_fault.sh BASE_PREFIX ZUVSIM CASES NAME ZUVDIGI_EXE
set -u
here=$(dirname "$(realpath "$0")")
base_prefix=$1 sim=$2 cases=$3 name=$4 exe=$5
. "$here/take_slot.sh"
take_slot "$base_prefix" || exit 1

# Wine takes a while to start a program, and the check that another program
# opens the port starts a second one.
WINEPREFIX=$slot WINEDEBUG=-all ZUV_GOLDEN_CRLF=1 \
  bash "$here/../e2e/faults/run_fault.sh" --sim "$sim" --port-dir "$slot/ports" --margin 12 --wine \
    "$cases" "$name" wine "$exe" 9>&-
