#!/usr/bin/env bash
# The summary at the end of `make test` (suite_summary.sh), read from results
# that CTest itself writes: each case below is a small CTest project whose
# tests pass, fail, skip or cannot start, and the summary must count them in
# the right family and the right column. A test CTest could not start counts
# as failed; reporting it as skipped would let a broken suite look green.
#
#   summary_test.sh SUITE_SUMMARY
set -u
summary=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# results NAME: a CTest project from the CMake lines on standard input, run;
# its results land in $tmp/NAME.xml.
results() {
  local dir=$tmp/$1
  mkdir -p "$dir"
  {
    cat <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(summary_case NONE)
enable_testing()
function(pass name)
  add_test(NAME ${name} COMMAND sh -c "echo ok")
endfunction()
function(fail name)
  add_test(NAME ${name} COMMAND sh -c "echo 'not ok'; exit 1")
endfunction()
function(skip name reason)
  add_test(NAME ${name} COMMAND sh -c "echo \"skipped: $1\"; exit 77" sh "${reason}")
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
CMAKE
    cat
  } > "$dir/CMakeLists.txt"
  cmake -S "$dir" -B "$dir/build" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
  ctest --test-dir "$dir/build" --output-junit "$tmp/$1.xml" > "$dir/ctest.log" 2>&1
}

# expect CASE WANT_STATUS WANT_SUMMARY RESULTS...
expect() {
  local name=$1 want_status=$2 want=$3 got status
  shift 3
  got=$(cd "$tmp" && bash "$summary" "$@" 2>&1)
  status=$?
  if [ "$status" != "$want_status" ] || [ "$got" != "$want" ]; then
    echo "case $name: status $status (expected $want_status), summary (- expected, + actual):"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$got")
    failures=$((failures + 1))
  fi
}

results all_ran_native <<'CMAKE'
pass(zuv_unit.angles)
pass(golden.config.call)
pass(link.common.baud_changes)
pass(wine.prefix.init)
pass(wine.golden.config.call)
CMAKE
results all_ran_fuzz <<'CMAKE'
pass(fuzz.conf_reader)
pass(fuzz.rules_reader)
CMAKE
expect every_family_ran 0 "\
native:             ran, 3 passed, 0 failed, 0 skipped
windows under wine: ran, 2 passed, 0 failed, 0 skipped
sanitized:          not run (no results)
fuzz:               ran, 2 passed, 0 failed, 0 skipped" all_ran_native.xml all_ran_fuzz.xml

# The sanitized build's results carry the native names; --as counts them in a
# family of their own, and only the file it stands before.
results sanitized <<'CMAKE'
pass(zuv_unit.angles)
fail(golden.config.call)
CMAKE
expect sanitized_build_counts_apart 1 "\
native:             ran, 3 passed, 0 failed, 0 skipped
windows under wine: ran, 2 passed, 0 failed, 0 skipped
sanitized:          ran, 1 passed, 1 failed, 0 skipped
fuzz:               ran, 2 passed, 0 failed, 0 skipped" all_ran_native.xml --as sanitized sanitized.xml all_ran_fuzz.xml

results tools_missing_native <<'CMAKE'
pass(golden.config.call)
skip(wine.golden "x86_64-w64-mingw32-g++-posix not found; Debian g++-mingw-w64-x86-64-posix")
skip(wine.link "x86_64-w64-mingw32-g++-posix not found; Debian g++-mingw-w64-x86-64-posix")
skip(wine.unit "GoogleTest sources not found in /usr/src/googletest; Debian libgtest-dev")
CMAKE
results tools_missing_fuzz <<'CMAKE'
skip(fuzz.libfuzzer "clang++ not found; Debian clang libclang-rt-14-dev")
CMAKE
expect skipped_families_say_why 0 "\
native:             ran, 1 passed, 0 failed, 0 skipped
windows under wine: skipped (x86_64-w64-mingw32-g++-posix not found; Debian g++-mingw-w64-x86-64-posix / GoogleTest sources not found in /usr/src/googletest; Debian libgtest-dev)
sanitized:          not run (no results)
fuzz:               skipped (clang++ not found; Debian clang libclang-rt-14-dev)" \
  tools_missing_native.xml tools_missing_fuzz.xml

results not_started <<'CMAKE'
pass(golden.config.call)
fail(golden.rules.digi)
add_test(NAME link.common.version_3_0 COMMAND ${CMAKE_CURRENT_BINARY_DIR}/no-such-program)
add_test(NAME wine.prefix.init COMMAND false)
set_tests_properties(wine.prefix.init PROPERTIES FIXTURES_SETUP wine_prefix)
pass(wine.golden.config.call)
pass(wine.link.common.baud_changes)
set_tests_properties(wine.golden.config.call wine.link.common.baud_changes PROPERTIES FIXTURES_REQUIRED wine_prefix)
CMAKE
expect not_started_counts_as_failed 1 "\
native:             ran, 1 passed, 2 failed, 0 skipped
windows under wine: ran, 0 passed, 3 failed, 0 skipped
sanitized:          not run (no results)
fuzz:               not run (no results)" not_started.xml

# Skips inside a family that ran: by exit status with a reason (XML-escaped in
# the results), by output the way GoogleTest skips, and a disabled test.
results partly_skipped <<'CMAKE'
pass(golden.config.call)
skip(link.posix.reopen_as_unprivileged_user "running as another user needs root & <setpriv>")
add_test(NAME zuv_unit.directory COMMAND sh -c "echo '[  SKIPPED ] directory'")
set_tests_properties(zuv_unit.directory PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
pass(zuv_unit.disabled)
set_tests_properties(zuv_unit.disabled PROPERTIES DISABLED ON)
CMAKE
expect skips_within_a_family_that_ran 0 "\
native:             ran, 1 passed, 0 failed, 3 skipped (skipped: running as another user needs root & <setpriv>)
windows under wine: not run (no results)
sanitized:          not run (no results)
fuzz:               not run (no results)" partly_skipped.xml

# Results that were never written (a run that broke off) are no green run.
expect missing_results_fail 1 "\
no test results in gone.xml
native:             ran, 3 passed, 0 failed, 0 skipped
windows under wine: ran, 2 passed, 0 failed, 0 skipped
sanitized:          not run (no results)
fuzz:               not run (no results)" all_ran_native.xml gone.xml

[ $failures = 0 ]
