#pragma once
// The version the utility names itself by, in its banner and in the
// configuration display.

namespace zuv {

inline constexpr const char* version_text = "Version 2.8";

}  // namespace zuv
