#pragma once
// Every rate, in bits per second, that the system knows.

#include <array>
#include <optional>

namespace zuv {

class output;

// Ends with a 0 entry.
inline constexpr std::array<long, 14> baud_table{110,   300,   600,   1200,  2400,  4800,   9600,
                                                 14400, 19200, 38400, 56000, 57600, 115200, 0};

// The table entry equal to rate, or none. A rate of 0 is refused with a message.
std::optional<long> get_baud(output& out, long rate);

}  // namespace zuv
