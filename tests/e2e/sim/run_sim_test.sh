#!/usr/bin/env bash
# Runs one group of zuvsim's own tests, a Python unittest file beside this
# script, against the zuvsim given; exits 77 (skipped) when a tool it needs
# is missing.
#
#   run_sim_test.sh ZUVSIM CASES.py [TOOL...]
set -u
[ $# -ge 2 ] || { echo "usage: run_sim_test.sh ZUVSIM CASES.py [TOOL...]"; exit 2; }
sim=$(realpath "$1")
cases=$(realpath "$2")
shift 2
for tool in python3 "$@"; do
  command -v "$tool" >/dev/null || { echo "skipped: these tests need $tool"; exit 77; }
done
cd "$(dirname "$cases")" && ZUVSIM=$sim exec python3 -B "$cases"
