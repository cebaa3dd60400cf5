#!/usr/bin/env bash
# Drives the program through one scripted console session and compares what it
# printed, byte for byte, and its exit status with the recorded transcript.
#
#   run_golden.sh CASE.in PROGRAM [ARGS...]
#
# CASE.out holds the expected standard output, CASE.rc the expected exit status.
# Optional: CASE.args, the program's command-line arguments (shell words), and
# CASE.err, its expected standard error.
# The program runs in the folder of CASE.in, so fixtures are named relative to it.
# ZUV_GOLDEN_CRLF=1 turns CR LF back into LF first (a Windows console in text mode).
set -u
. "$(dirname "$(realpath "$0")")/compare.sh"
case_in=$(realpath "$1"); shift
base=${case_in%.in}
want_rc=$(tr -d ' \r\n' < "$base.rc")
actual=$(mktemp)
trap 'rm -f "$actual" "$actual.lf" "$actual.err" "$actual.err.lf"' EXIT

args=()
[ -e "$base.args" ] && eval "args=($(cat "$base.args"))"
(cd "$(dirname "$case_in")" && exec "$@" "${args[@]}" < "$case_in" > "$actual" 2> "$actual.err")
got_rc=$?
normalize_line_ends "$actual"
normalize_line_ends "$actual.err"

status=0
if [ -e "$base.err" ]; then
  compare_text "standard error" "$base.err" "$actual.err" 20 || status=1
fi
compare_text "standard output" "$base.out" "$actual" 60 || status=1
compare_exit_status "$got_rc" "$want_rc" || status=1
exit $status
