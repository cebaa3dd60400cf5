#pragma once
// The device's 904-byte configuration image. It is sent to the device byte for
// byte, so it is kept as its byte image and every field is read and written
// through an explicit little-endian accessor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "core/wire.h"

namespace zuv {

inline constexpr std::size_t conf_record_size = 904;

namespace conf_field {
inline constexpr field_at<std::uint32_t> host_baud{0};
inline constexpr field_at<std::uint32_t> gps_baud{4};
inline constexpr field_at<std::uint32_t> tnc_baud{8};
inline constexpr field_at<std::int32_t> altitude{12};
inline constexpr field_at<float> latitude{16};
inline constexpr field_at<float> longitude{20};
inline constexpr text_at station_call{24, 8};
inline constexpr field_at<std::uint16_t> ssid{32};
inline constexpr field_at<std::uint16_t> wide_max{34};
inline constexpr field_at<std::uint16_t> wide_total{36};
inline constexpr field_at<std::uint16_t> relay_drop{38};
inline constexpr field_at<std::uint16_t> ui_trace{40};
inline constexpr field_at<std::uint16_t> nsr{42};
inline constexpr field_at<std::uint16_t> have_gps{44};
inline constexpr field_at<std::uint16_t> dupe_window{46};
inline constexpr field_at<std::uint16_t> beacon_interval{48};
inline constexpr field_at<std::uint16_t> icon{50};
inline constexpr field_at<std::uint16_t> log_port{52};
inline constexpr field_at<std::uint16_t> halt_on_error{54};
inline constexpr field_at<std::uint16_t> drop_mangled{56};
inline constexpr field_at<std::uint16_t> fix_valid{58};
inline constexpr field_at<std::uint16_t> non_aprs{60};
inline constexpr field_at<std::uint16_t> call_rate_limit{62};
inline constexpr field_at<std::uint16_t> run_mode{64};
inline constexpr field_at<std::uint16_t> implicit_action{66};
inline constexpr field_at<std::uint16_t> rule_count{68};
inline constexpr slots_at digi_path{70, 8, 8};
inline constexpr text_at beacon_comment{134, 44};
inline constexpr text_at control_call{178, 10};
inline constexpr field_at<std::uint16_t> subst_count{188};
inline constexpr field_at<std::uint16_t> delete_count{190};
inline constexpr slots_at path_edit_table{192, 16, 12};
inline constexpr slots_at subst_lists{384, 8, 65};
}  // namespace conf_field

// The fields tile the image from offset 0 to 903 without gaps.
static_assert(conf_field::host_baud.off == 0 && conf_field::host_baud.end() == conf_field::gps_baud.off);
static_assert(conf_field::gps_baud.off == 4 && conf_field::gps_baud.end() == conf_field::tnc_baud.off);
static_assert(conf_field::tnc_baud.off == 8 && conf_field::tnc_baud.end() == conf_field::altitude.off);
static_assert(conf_field::altitude.off == 12 && conf_field::altitude.end() == conf_field::latitude.off);
static_assert(conf_field::latitude.off == 16 && conf_field::latitude.end() == conf_field::longitude.off);
static_assert(conf_field::longitude.off == 20 && conf_field::longitude.end() == conf_field::station_call.off);
static_assert(conf_field::station_call.off == 24 && conf_field::station_call.end() == conf_field::ssid.off);
static_assert(conf_field::ssid.off == 32 && conf_field::ssid.end() == conf_field::wide_max.off);
static_assert(conf_field::wide_max.off == 34 && conf_field::wide_max.end() == conf_field::wide_total.off);
static_assert(conf_field::wide_total.off == 36 && conf_field::wide_total.end() == conf_field::relay_drop.off);
static_assert(conf_field::relay_drop.off == 38 && conf_field::relay_drop.end() == conf_field::ui_trace.off);
static_assert(conf_field::ui_trace.off == 40 && conf_field::ui_trace.end() == conf_field::nsr.off);
static_assert(conf_field::nsr.off == 42 && conf_field::nsr.end() == conf_field::have_gps.off);
static_assert(conf_field::have_gps.off == 44 && conf_field::have_gps.end() == conf_field::dupe_window.off);
static_assert(conf_field::dupe_window.off == 46 && conf_field::dupe_window.end() == conf_field::beacon_interval.off);
static_assert(conf_field::beacon_interval.off == 48 && conf_field::beacon_interval.end() == conf_field::icon.off);
static_assert(conf_field::icon.off == 50 && conf_field::icon.end() == conf_field::log_port.off);
static_assert(conf_field::log_port.off == 52 && conf_field::log_port.end() == conf_field::halt_on_error.off);
static_assert(conf_field::halt_on_error.off == 54 && conf_field::halt_on_error.end() == conf_field::drop_mangled.off);
static_assert(conf_field::drop_mangled.off == 56 && conf_field::drop_mangled.end() == conf_field::fix_valid.off);
static_assert(conf_field::fix_valid.off == 58 && conf_field::fix_valid.end() == conf_field::non_aprs.off);
static_assert(conf_field::non_aprs.off == 60 && conf_field::non_aprs.end() == conf_field::call_rate_limit.off);
static_assert(conf_field::call_rate_limit.off == 62 && conf_field::call_rate_limit.end() == conf_field::run_mode.off);
static_assert(conf_field::run_mode.off == 64 && conf_field::run_mode.end() == conf_field::implicit_action.off);
static_assert(conf_field::implicit_action.off == 66 && conf_field::implicit_action.end() == conf_field::rule_count.off);
static_assert(conf_field::rule_count.off == 68 && conf_field::rule_count.end() == conf_field::digi_path.off);
static_assert(conf_field::digi_path.off == 70 && conf_field::digi_path.end() == conf_field::beacon_comment.off);
static_assert(conf_field::beacon_comment.off == 134 && conf_field::beacon_comment.end() == conf_field::control_call.off);
static_assert(conf_field::control_call.off == 178 && conf_field::control_call.end() == conf_field::subst_count.off);
static_assert(conf_field::subst_count.off == 188 && conf_field::subst_count.end() == conf_field::delete_count.off);
static_assert(conf_field::delete_count.off == 190 && conf_field::delete_count.end() == conf_field::path_edit_table.off);
static_assert(conf_field::path_edit_table.off == 192 && conf_field::path_edit_table.end() == conf_field::subst_lists.off);
static_assert(conf_field::subst_lists.off == 384 && conf_field::subst_lists.end() == conf_record_size);

struct conf_record {
    std::array<std::uint8_t, conf_record_size> bytes{};

    template <class T>
    constexpr T get(field_at<T> f) const { return load_le<T>(bytes.data() + f.off); }
    template <class T>
    constexpr void set(field_at<T> f, T v) { store_le<T>(bytes.data() + f.off, v); }

    std::span<std::uint8_t> area(text_at t) { return {bytes.data() + t.off, t.width}; }
    std::span<const std::uint8_t> area(text_at t) const { return {bytes.data() + t.off, t.width}; }
    std::span<std::uint8_t> slot(slots_at s, std::size_t n) { return {bytes.data() + s.slot(n), s.stride}; }
    std::span<const std::uint8_t> slot(slots_at s, std::size_t n) const {
        return {bytes.data() + s.slot(n), s.stride};
    }
    // Text held in a fixed area, up to its zero byte or the end of the area.
    std::string_view text(text_at t) const;
    std::string_view text(slots_at s, std::size_t n) const;
};
static_assert(sizeof(conf_record) == conf_record_size);

inline constexpr std::uint16_t implicit_pass = 'p';
inline constexpr std::uint16_t implicit_drop = 'd';

// The factory image.
const conf_record& conf_defaults();

// The base position of the factory image, in decimal degrees.
inline constexpr float default_latitude = 39.75f;
inline constexpr float default_longitude = -105.0f;

struct config_state;

// Copies the factory image over the working record and empties the digi path
// count; conf_processed is left as it is.
void conf_load_defaults(config_state& st);

// The rate the shell uses for the link: the GPS rate when the device has a
// GPS, else the host rate.
long configured_link_rate(const conf_record& conf);

}  // namespace zuv
