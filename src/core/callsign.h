#pragma once
// How a callsign was written, recorded by the same bits in rule records and
// in path-edit entries.

#include <cstdint>

namespace zuv {

inline constexpr std::uint8_t mod_prefix = 0x10;  // CALL*: matches as a prefix
inline constexpr std::uint8_t mod_any = 0x20;     // *: any call, always stored with mod_prefix
inline constexpr std::uint8_t mod_ssid = 0x40;    // CALL-n

}  // namespace zuv
