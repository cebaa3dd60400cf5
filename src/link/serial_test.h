#pragma once
// The serial echo test: the device echoes every byte it gets, and the host
// sends the printable characters '@' to '~' one at a time, each waiting for
// its own echo, so a bad cable, adapter or rate shows up at the exact byte.

#include <optional>
#include <string_view>

#include "core/args.h"
#include "core/keyword.h"

namespace zuv {

struct link_state;
class output;

// '@' (0x40) to '~' (0x7E).
inline constexpr long serial_test_chars_per_iteration = 63;

// The closing message counts the characters in a long, which is 32 bits on
// Windows: a larger count would print a wrapped total there, and it would run
// for weeks at any link rate, so it is refused rather than quietly shortened.
inline constexpr long max_serial_test_iterations = 2147483647L / serial_test_chars_per_iteration;

// The iteration count a token names, read as a decimal long integer; prints
// the refusal and returns nothing for a count below 1 or above
// max_serial_test_iterations.
std::optional<long> iteration_count(output& out, std::string_view token);

// Runs the echo test on the connected port for the count that count_text
// names; code is the command's keyword code, kw_serialtest. Every failure
// once the device was asked closes the port and drops the connection; the
// device's test is ended with 0x03 only after a pass.
void serial_test(link_state& st, keyword_code code, std::string_view count_text);

// The console command: serialtest iterations.
void serialtest_command(link_state& st, arg_cursor& args);

}  // namespace zuv
