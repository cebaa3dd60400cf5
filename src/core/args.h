#pragma once
// The shell's argument conventions: tokens are taken one at a time from the
// rest of the command line, each command naming the separators it uses.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zuv {

class output;

inline constexpr std::string_view number_separators = " ,\t";
inline constexpr std::string_view file_name_separators = ",\t";

// Walks a line the way the shell's tokeniser does: a token starts after any
// run of separators and ends at the next one; the following token begins
// right after that single separator character.
class arg_cursor {
public:
    explicit arg_cursor(std::string_view line) : line_(line) {}

    std::optional<std::string_view> next(std::string_view separators);
    // com_port, baud, iterations: separated by comma, blank and tab.
    std::optional<std::string_view> next_number() { return next(number_separators); }
    // file_name: separated by comma and tab only, so a name may hold blanks.
    std::optional<std::string_view> next_file_name() { return next(file_name_separators); }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

// Decimal reading of a token as the C library's atol does it: leading white
// space, an optional sign, digits up to the first non-digit; no digits give 0.
// Values beyond the range of long saturate.
long decimal_value(std::string_view text);

// The same, clamped to the range of int.
int decimal_int(std::string_view text);

// A COM port number 1 to 20 from a token such as 3, com3 or COM3; prints the
// refusal and returns nothing when the token names no such port.
std::optional<int> port_arg(output& out, std::string_view token);

// The rates the shell accepts for the link to the device.
inline constexpr std::array<long, 5> valid_bauds{4800, 9600, 19200, 38400, 57600};

// A link rate that is one of valid_bauds; prints the refusal otherwise.
std::optional<long> rate_arg(output& out, std::string_view token);

}  // namespace zuv
