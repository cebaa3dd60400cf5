# Included by the suites that depend on tools outside this tree (Wine, the
# mingw-w64 cross compiler, clang with libFuzzer).

# Sets VAR to the full path of the program NAME as the PATH finds it now, or to
# VAR-NOTFOUND. The suites call these tools by name, so a copy that only CMake's
# own search folders hold would not help them, and an earlier configure's
# answer is not kept: the check is of this machine as it is.
function(zuv_find_on_path var name)
  unset(${var} CACHE)
  find_program(${var} ${name}
    NO_CMAKE_PATH NO_CMAKE_ENVIRONMENT_PATH NO_CMAKE_SYSTEM_PATH NO_CMAKE_INSTALL_PREFIX)
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

# A suite that cannot run here. With ZUV_REQUIRE_ALL_SUITES (CI) that stops the
# configure, so a missing package can never pass for a green run; otherwise
# each TEST given after REASON is one test that prints "skipped: REASON" and is
# reported as skipped, which the summary at the end of `make test` repeats.
# REASON names what is missing and the Debian package that brings it.
function(zuv_suite_unavailable suite reason)
  if(ZUV_REQUIRE_ALL_SUITES)
    message(FATAL_ERROR "ZUV_REQUIRE_ALL_SUITES is ON, but ${suite} cannot run: ${reason}")
  endif()
  foreach(test IN LISTS ARGN)
    add_test(NAME ${test} COMMAND sh -c "echo \"skipped: $1\"; exit 77" sh "${reason}")
    set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 10)
  endforeach()
endfunction()
