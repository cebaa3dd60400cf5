#pragma once
// Reading latitudes, longitudes and bearings written in the Colon, Dotted or
// DMC notation.

#include <cfloat>
#include <string_view>

namespace zuv {

class output;

// What dmctodeg returns, after its one message, for a text that is no angle.
inline constexpr float dmc_failure = FLT_MAX;

// Decimal degrees (north and east positive) within -360 to 360, or
// dmc_failure after printing exactly one message. The text ends at its first
// NUL byte; a line feed ends the scan as well.
float dmctodeg(output& out, std::string_view inp);

}  // namespace zuv
