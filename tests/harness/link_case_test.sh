#!/usr/bin/env bash
# run_link.sh's files made at test time: CASE.setup runs in the run's folder,
# @RUN@ in CASE.in names that folder, CASE.same compares two files the run
# left, CASE.mask rewrites the output before the comparison. Each must be
# able to fail a case, or a broken upload would pass unseen.
#
#   link_case_test.sh RUN_LINK ZUVSIM
set -u
run_link=$(realpath "$1")
sim=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# The program under test reads the run's folder from its input, leaves the
# file "kept" there and prints a line whose seconds the mask hides.
program=(sh -c 'read -r dir; printf abc > "$dir/kept"; printf "\r 12s TTC  3s\n"')

# check NAME WANT_STATUS WANT_OUTPUT SETUP_SCRIPT: the output starts with
# WANT_OUTPUT; a passing case prints nothing.
check() {
  local name=$1 want_status=$2 want=$3 setup=$4
  local dir=$tmp/$name
  mkdir -p "$dir"
  printf '@RUN@\n' > "$dir/case.in"
  printf '\r Ns TTC  Ns\n' > "$dir/case.out"
  echo 0 > "$dir/case.rc"
  printf '%s\n' "$setup" > "$dir/case.setup"
  printf 'kept made\n' > "$dir/case.same"
  printf 's/[0-9]+s/Ns/g\n' > "$dir/case.mask"
  local got status
  got=$(bash "$run_link" --sim "$sim" "$dir/case.in" "${program[@]}" 2>&1)
  status=$?
  if [ "$status" != "$want_status" ] || [ "${got:0:${#want}}" != "$want" ] || { [ -z "$want" ] && [ -n "$got" ]; }; then
    echo "case $name: status $status (expected $want_status), output:"
    printf '%s\n' "$got"
    echo "expected output starting: $want"
    failures=$((failures + 1))
  fi
}

check all_agree 0 '' 'printf abc > made; [ -d "$ZUV_CASE_DIR" ]'
check files_differ 1 "the run's kept differs from made (- made, + kept):" 'printf abd > made'
check file_missing 1 "the run's kept differs from made (- made, + kept):" 'true'
check setup_fails 1 "$tmp/setup_fails/case.setup failed:" 'echo no tool here; exit 1'

[ $failures = 0 ]
