#pragma once
// Path edits: how the device rewrites the digipeater path of the packets it
// relays. A substitution replaces a matching digi with a list of up to 8 new
// ones; a delete removes one. Both live in the path-edit area of conf_record.

#include <cstddef>
#include <cstdint>
#include <span>

#include "config/conf_line.h"
#include "config/conf_record.h"
#include "core/callsign.h"

namespace zuv {

struct config_state;

inline constexpr int path_edit_max_subst = 8;
inline constexpr int path_edit_max_delete = 8;
inline constexpr int path_edit_max_index = 8;
inline constexpr int path_edit_max_digis = 8;
inline constexpr std::size_t path_edit_call_max = 6;

// One path_edit_entry, 12 bytes.
namespace path_edit_field {
inline constexpr text_at call{0, 7};
inline constexpr std::size_t ssid_byte = 7;  // SSID x 2 when mod_ssid is set
inline constexpr std::size_t match_index = 8;
inline constexpr std::size_t action_index = 9;
inline constexpr std::size_t subst_index = 10;
inline constexpr std::size_t edit_flags = 11;
inline constexpr std::size_t compared_prefix = 8;  // call and ssid byte, compared for duplicates
}  // namespace path_edit_field
inline constexpr std::size_t path_edit_entry_size = 12;
static_assert(path_edit_field::call.end() == path_edit_field::ssid_byte);
static_assert(path_edit_field::edit_flags + 1 == path_edit_entry_size);
static_assert(path_edit_entry_size == conf_field::path_edit_table.stride);

// One subst_list, 65 bytes: 8 digi slots of 8 bytes and the digi count.
namespace subst_list_field {
inline constexpr slots_at digis{0, 8, 8};
inline constexpr std::size_t count = 64;
}  // namespace subst_list_field
inline constexpr std::size_t subst_list_size = 65;
static_assert(subst_list_field::digis.end() == subst_list_field::count);
static_assert(subst_list_field::count + 1 == subst_list_size);
static_assert(subst_list_size == conf_field::subst_lists.stride);

// A digi slot: the call (at most 6 characters and its zero) and an AX.25
// address SSID octet.
inline constexpr std::size_t digi_slot_octet = 7;
inline constexpr std::uint8_t octet_repeated = 0x80;
inline constexpr std::uint8_t octet_reserved = 0x60;

// The entry type in edit_flags; the modifier bits beside it are those of
// shell/callsign.h.
inline constexpr std::uint8_t edit_sub = 1;
inline constexpr std::uint8_t edit_del = 2;

// What the deditpath display states about the limits.
inline constexpr int subst_entry_bytes = static_cast<int>(path_edit_entry_size + subst_list_size);  // 77
inline constexpr int delete_entry_bytes = static_cast<int>(path_edit_entry_size);                 // 12

inline int path_edits_in_use(const conf_record& conf) {
    return conf.get(conf_field::subst_count) + conf.get(conf_field::delete_count);
}

// Checks one substitutepath (cmd_code 46) or deletepath (47) line and appends
// its entry. args is the rest of the line in ctx.work, after the keyword; it
// is cut into pieces in place. 0 when added, else -1 to -23 after one message.
int path_edit_add(config_state& st, const conf_line_context& ctx, int cmd_code, const char* cmd_name, char* args);

// The number (from 1) of the first entry in use that duplicates poe, 0 when
// none does, -1 when poe is missing.
int check_path_edit_dupe(config_state& st, const std::uint8_t* poe);

// The deditpath display.
void path_edit_display(config_state& st);

}  // namespace zuv
