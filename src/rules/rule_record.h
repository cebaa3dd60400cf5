#pragma once
// The device's 28-byte packet-filtering rule. The download sends the records
// exactly as they stand, so each one is kept as its byte image and every field
// is read and written through an explicit little-endian accessor; the floats
// of the second and fourth cells sit at offsets 6 and 18, not on a four-byte
// boundary, which the byte-wise accessors do not mind.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "core/callsign.h"
#include "core/wire.h"

namespace zuv {

inline constexpr std::size_t rule_record_size = 28;
inline constexpr std::size_t rule_cell_width = 6;
inline constexpr std::size_t max_rules = 30;

namespace rule_field {
// The four argument cells, each seen as a whole...
inline constexpr text_at argument_1{0, rule_cell_width};
inline constexpr text_at argument_2{6, rule_cell_width};
inline constexpr text_at argument_3{12, rule_cell_width};
inline constexpr text_at argument_4{18, rule_cell_width};
inline constexpr field_at<std::uint8_t> command{24};
inline constexpr field_at<std::uint8_t> flags{25};
inline constexpr field_at<std::int16_t> line{26};

// ...or through the value that stands at its start: a float in the first four
// bytes, or a small integer (SSID, match index, compass direction) in the first.
inline constexpr field_at<float> float_1{argument_1.off};
inline constexpr field_at<float> float_2{argument_2.off};
inline constexpr field_at<float> float_3{argument_3.off};
inline constexpr field_at<float> float_4{argument_4.off};
inline constexpr field_at<std::uint8_t> byte_1{argument_1.off};
inline constexpr field_at<std::uint8_t> byte_2{argument_2.off};
inline constexpr field_at<std::uint8_t> byte_3{argument_3.off};
}  // namespace rule_field

// The fields tile the record from offset 0 to 27 without gaps.
static_assert(rule_field::argument_1.off == 0 && rule_field::argument_1.end() == rule_field::argument_2.off);
static_assert(rule_field::argument_2.off == 6 && rule_field::argument_2.end() == rule_field::argument_3.off);
static_assert(rule_field::argument_3.off == 12 && rule_field::argument_3.end() == rule_field::argument_4.off);
static_assert(rule_field::argument_4.off == 18 && rule_field::argument_4.end() == rule_field::command.off);
static_assert(rule_field::command.off == 24 && rule_field::command.end() == rule_field::flags.off);
static_assert(rule_field::flags.off == 25 && rule_field::flags.end() == rule_field::line.off);
static_assert(rule_field::line.off == 26 && rule_field::line.end() == rule_record_size);
// A float or a byte value never spills out of its cell.
static_assert(rule_field::float_4.end() <= rule_field::argument_4.end());

// The low four bits of flags: what the rule does with a matching packet.
inline constexpr std::uint8_t action_drop = 4;
inline constexpr std::uint8_t action_pass = 8;
// The action word implicit: stored unchanged, so it reads as mod_prefix.
inline constexpr std::uint8_t action_implicit = 16;
inline constexpr std::uint8_t action_bits = 0x0F;

// The high four bits of flags: how the callsign was written (shell/callsign.h).
inline constexpr std::uint8_t modifier_bits = 0xF0;

inline constexpr int max_ssid = 15;
inline constexpr int max_match_index = 8;

struct rule_record {
    std::array<std::uint8_t, rule_record_size> bytes{};

    template <class T>
    constexpr T get(field_at<T> f) const { return load_le<T>(bytes.data() + f.off); }
    template <class T>
    constexpr void set(field_at<T> f, T v) { store_le<T>(bytes.data() + f.off, v); }

    std::span<std::uint8_t> cell(text_at t) { return {bytes.data() + t.off, t.width}; }
    std::span<const std::uint8_t> cell(text_at t) const { return {bytes.data() + t.off, t.width}; }

    // The callsign of argument_1: up to its first zero byte, at most 6 bytes.
    std::string_view callsign() const;
};
static_assert(sizeof(rule_record) == rule_record_size);
static_assert(alignof(rule_record) == 1);
static_assert(std::is_trivially_copyable_v<rule_record>);

// The table the download sends from: the records lie back to back, so the
// first n records are exactly n * 28 bytes of device images.
using rule_array = std::array<rule_record, max_rules>;
static_assert(sizeof(rule_array) == max_rules * rule_record_size);

// The bytes of the first count records, as the download sends them.
std::span<const std::uint8_t> rule_table_image(const rule_array& table, std::size_t count);

// Compass direction codes 1 to 8; entry 0 stands for any code out of range.
inline constexpr std::array<const char*, 9> compass_names{"Error", "N", "NE", "E", "SE", "S", "SW", "W", "NW"};

}  // namespace zuv
