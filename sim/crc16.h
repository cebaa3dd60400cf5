#pragma once
// The download packets' check value, computed bit by bit as the device's
// receiver does: CRC-16 with polynomial 0x1021, most significant bit first,
// register starting at 0x1D0F, no reflection and no final XOR.

#include <cstdint>
#include <string_view>

namespace zuvsim {

std::uint16_t packet_crc(std::string_view bytes);

}  // namespace zuvsim
