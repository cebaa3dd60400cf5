#!/usr/bin/env bash
# table_test.sh CASE STATUS: the table bench_table.py prints from the fixed
# results fixtures/CASE.json must be fixtures/CASE.table byte for byte, and
# its exit status STATUS.
set -u
here=$(cd "$(dirname "$0")" && pwd)
case=$1 want_status=$2
command -v python3 >/dev/null || { echo "python3 not found; Debian python3"; exit 77; }
. "$here/../e2e/compare.sh"

actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
python3 -B "$here/bench_table.py" "$here/fixtures/$case.json" > "$actual"
status=$?
ok=0
compare_text "the table" "$here/fixtures/$case.table" "$actual" 60 || ok=1
compare_exit_status "$status" "$want_status" || ok=1
exit $ok
