#pragma once
// The notation summary that the angles command prints.

#include <string_view>

namespace zuv {

struct app_state;

extern const std::string_view angle_notation_summary;

void angles_command(app_state& st);

}  // namespace zuv
