#include "crc16.h"

namespace zuvsim {

std::uint16_t packet_crc(std::string_view bytes) {
    constexpr std::uint16_t poly = 0x1021;
    std::uint16_t reg = 0x1D0F;
    for (const char c : bytes) {
        reg ^= static_cast<std::uint16_t>(static_cast<unsigned char>(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x8000) != 0 ? static_cast<std::uint16_t>((reg << 1) ^ poly)
                                      : static_cast<std::uint16_t>(reg << 1);
    }
    return reg;
}

}  // namespace zuvsim
