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
case_in=$(realpath "$1"); shift
base=${case_in%.in}
want_rc=$(tr -d ' \r\n' < "$base.rc")
actual=$(mktemp)
trap 'rm -f "$actual" "$actual.lf" "$actual.err"' EXIT

args=()
[ -e "$base.args" ] && eval "args=($(cat "$base.args"))"
(cd "$(dirname "$case_in")" && exec "$@" "${args[@]}" < "$case_in" > "$actual" 2> "$actual.err")
got_rc=$?
if [ -n "${ZUV_GOLDEN_CRLF:-}" ]; then
  for f in "$actual" "$actual.err"; do
    sed 's/\r$//' "$f" > "$actual.lf" && mv "$actual.lf" "$f"
  done
fi

status=0
if [ -e "$base.err" ] && ! cmp -s "$base.err" "$actual.err"; then
  echo "standard error differs from $base.err (cat -A view, - expected, + actual):"
  diff <(cat -A "$base.err") <(cat -A "$actual.err") | head -20
  status=1
fi
if ! cmp -s "$base.out" "$actual"; then
  echo "standard output differs from $base.out (cat -A view, - expected, + actual):"
  diff <(cat -A "$base.out") <(cat -A "$actual") | head -60
  status=1
fi
if [ "$got_rc" != "$want_rc" ]; then
  echo "exit status $got_rc, expected $want_rc"
  status=1
fi
exit $status
