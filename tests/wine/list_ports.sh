#!/usr/bin/env bash
# zuvdigi.exe --list-ports in the test prefix, whose registry maps COM1 to
# COM20 (wine_prefix.sh): each is listed with the device the system gives it.
# Wine's device installer knows no ports, so no friendly names follow.
#
#   list_ports.sh ZUVDIGI_EXE   (WINEPREFIX set)
set -u
exe=$1
listed=$(mktemp)
trap 'rm -f "$listed"' EXIT
timeout -k 5 60 wine "$exe" --list-ports > "$listed"
rc=$?
got=$(tr -d '\r' < "$listed")
want=$(echo "COM ports:"; for n in $(seq 1 20); do echo "  COM$n -> \\Device\\Serial$((n - 1))"; done)
status=0
[ "$rc" = 0 ] || { echo "--list-ports ended with status $rc"; status=1; }
if [ "$got" != "$want" ]; then
  echo "the listed ports (- expected, + listed):"
  diff <(echo "$want") <(echo "$got")
  status=1
fi
[ $status = 0 ] && echo "COM1 to COM20 of the prefix are listed with their devices"
exit $status
