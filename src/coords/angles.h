#pragma once
// The notation summary that the angles command prints.

#include <string_view>

namespace zuv {

class output;

extern const std::string_view angle_notation_summary;

void angles_command(output& out);

}  // namespace zuv
