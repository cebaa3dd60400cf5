#!/usr/bin/env bash
# The transcript runners' verdicts (run_golden.sh through compare.sh): a run
# that differs from its recording in output or exit status must fail, and say
# how, in the words the suites print; a matching run must pass silently.
#
#   compare_test.sh RUN_GOLDEN
set -u
run_golden=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# check NAME WANT_STATUS WANT_OUTPUT RECORDED_OUT RECORDED_RC PROGRAM_OUTPUT PROGRAM_RC [ENV...]
# The program under test prints PROGRAM_OUTPUT (printf format) and exits PROGRAM_RC.
check() {
  local name=$1 want_status=$2 want_output=$3 out=$4 rc=$5 print=$6 exit_code=$7
  shift 7
  local dir=$tmp/$name
  mkdir -p "$dir"
  : > "$dir/case.in"
  printf "$out" > "$dir/case.out"
  echo "$rc" > "$dir/case.rc"
  local got status
  got=$(env "$@" bash "$run_golden" "$dir/case.in" sh -c 'printf "$1"; exit "$2"' sh "$print" "$exit_code" 2>&1)
  status=$?
  want_output=${want_output//@DIR@/$dir}
  if [ "$status" != "$want_status" ] || [ "$got" != "$want_output" ]; then
    echo "case $name: status $status (expected $want_status), output:"
    printf '%s\n' "$got"
    echo "expected output:"
    printf '%s\n' "$want_output"
    failures=$((failures + 1))
  fi
}

nl=$'\n'
check same 0 "" 'Command> \a\n' 0 'Command> \a\n' 0
check text_differs 1 "standard output differs from @DIR@/case.out (cat -A view, - expected, + actual):${nl}1c1${nl}< Command> ^G\$${nl}---${nl}> Command> \$" \
  'Command> \a\n' 0 'Command> \n' 0
check missing_last_line_end 1 "standard output differs from @DIR@/case.out (cat -A view, - expected, + actual):${nl}1c1${nl}< x\$${nl}---${nl}> x${nl}\\ No newline at end of file" \
  'x\n' 0 'x' 0
check status_differs 1 "exit status 1, expected 0" 'x\n' 0 'x\n' 1
check both_differ 1 "standard output differs from @DIR@/case.out (cat -A view, - expected, + actual):${nl}1c1${nl}< a\$${nl}---${nl}> b\$${nl}exit status 0, expected 1" \
  'a\n' 1 'b\n' 0
# A Windows console's CR LF matches an LF recording only when asked for.
check crlf_taken_as_lf 0 "" 'a\nb\n' 0 'a\r\nb\r\n' 0 ZUV_GOLDEN_CRLF=1
check crlf_kept 1 "standard output differs from @DIR@/case.out (cat -A view, - expected, + actual):${nl}1,2c1,2${nl}< a\$${nl}< b\$${nl}---${nl}> a^M\$${nl}> b^M\$" \
  'a\nb\n' 0 'a\r\nb\r\n' 0
# Only the CR of a line end goes: one inside a line is the program's output.
check crlf_inner_cr_kept 1 "standard output differs from @DIR@/case.out (cat -A view, - expected, + actual):${nl}1c1${nl}< ab\$${nl}---${nl}> a^Mb\$" \
  'ab\n' 0 'a\rb\r\n' 0 ZUV_GOLDEN_CRLF=1

[ $failures = 0 ]
