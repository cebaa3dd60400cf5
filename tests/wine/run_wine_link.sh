#!/usr/bin/env bash
# One connection case of the link suite against zuvdigi.exe under Wine.
#
#   run_wine_link.sh BASE_PREFIX ZUVSIM CASE.in ZUVDIGI_EXE
#
# The case runs in a case prefix of its own (take_slot.sh), so cases run side
# by side and each may use COM1: the emulator is published as SLOT/ports/comN,
# which the slot's dosdevices/comN leads to. The program ends with the case
# (run_link.sh bounds it); the slot's wineserver stays up for the next case
# until wine.prefix.stop.
set -u
here=$(dirname "$(realpath "$0")")
base_prefix=$1 sim=$2 case_in=$3 exe=$4
. "$here/take_slot.sh"
take_slot "$base_prefix" || exit 1

WINEPREFIX=$slot WINEDEBUG=-all ZUV_GOLDEN_CRLF=1 \
  bash "$here/../e2e/link/run_link.sh" --sim "$sim" --port-dir "$slot/ports" "$case_in" wine "$exe" 9>&-
