#include "config/path_edit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "config/config_state.h"
#include "core/args.h"
#include "core/visible.h"
#include "core/keyword.h"

namespace zuv {

namespace {

// The three indexes and the digi match may be separated by ';' as well; the
// digis and the delete index end at any comment character.
constexpr std::string_view index_delims = " ,;\t";
constexpr std::string_view digi_delims = "#/; \t,";
constexpr int max_ssid = 15;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Copies call, upper-cased, with its terminating zero to dst.
void store_call(std::uint8_t* dst, const char* call) {
    std::size_t i = 0;
    for (; call[i] != '\0'; ++i) dst[i] = static_cast<std::uint8_t>(ascii_upper(call[i]));
    dst[i] = 0;
}

struct edit_line {
    config_state& st;
    const conf_line_context& ctx;
    char* rest;

    char* take(std::string_view delims) { return next_token(rest, delims, &rest); }
    // The file's name, its line and its tokens as a message may show them.
    std::string name() const { return visible(st.out, ctx.file_name); }
    std::string line() const { return visible(st.out, ctx.line_text); }
    std::string shown(std::string_view text) const { return visible(st.out, text); }
};

int report_missing(const edit_line& l, const char* what, int code) {
    l.st.out.print("\a\aError: %s[%d]: argument(s) missing: %s\n%s\n", l.name().c_str(), l.ctx.line_number, what,
                   l.line().c_str());
    return code;
}

// The end of an SSID message: the character that is not a digit, as it
// stands (a NUL byte when nothing follows the '-'), then the line.
void put_ssid_char_and_line(const edit_line& l, char c) {
    put_visible(l.st.out, std::string_view(&c, 1));
    l.st.out.print("\n%s\n", l.line().c_str());
}

struct index_rule {
    const char* shown;    // "Match" or "Action", as the messages name it
    const char* missing;  // the argument's name when it is missing
    int missing_code;
    int not_a_number_code;
    int too_big_code;
};

constexpr index_rule match_index_rule{"Match", "Match Index", -6, -7, -8};
constexpr index_rule subst_index_rule{"Action", "Substitution Index", -13, -14, -15};
constexpr index_rule delete_index_rule{"Action", "Delete Index", -21, -22, -23};

// A digi index: '*' (0) or 0 to 8. The index, or a negative code.
int take_index(edit_line& l, std::string_view delims, const index_rule& rule) {
    const char* tok = l.take(delims);
    if (tok == nullptr) return report_missing(l, rule.missing, rule.missing_code);
    if (tok[0] == '*') return 0;
    if (!is_digit(tok[0])) {
        l.st.out.print("\a\aError: %s[%d]: Invalid Digi %s Index [0..%d]: %s\n%s\n", l.name().c_str(),
                       l.ctx.line_number, rule.shown, path_edit_max_index, l.shown(tok).c_str(), l.line().c_str());
        return rule.not_a_number_code;
    }
    const int n = decimal_int(tok);
    if (n > path_edit_max_index) {
        l.st.out.print("\a\aError: %s[%d]: Invalid Digi %s Index [0..%d]: %d\n%s\n", l.name().c_str(),
                       l.ctx.line_number, rule.shown, path_edit_max_index, n, l.line().c_str());
        return rule.too_big_code;
    }
    return n;
}

// Digi Match: '*', CALL*, CALL-n or CALL, into the entry's call, ssid byte,
// type and modifier bits. 0 or a negative code.
int take_digi_match(edit_line& l, std::uint8_t* entry, std::uint8_t type) {
    using namespace path_edit_field;
    char* tok = l.take(index_delims);
    if (tok == nullptr) return report_missing(l, "Digi Match", -9);
    entry[edit_flags] = type;
    if (tok[0] == '*') {
        entry[edit_flags] |= mod_prefix | mod_any;
        return 0;
    }
    if (char* star = std::strchr(tok, '*')) {
        entry[edit_flags] |= mod_prefix;
        *star = '\0';
    } else if (char* dash = std::strchr(tok, '-')) {
        *dash = '\0';
        const char* ssid_text = dash + 1;
        if (!is_digit(ssid_text[0])) {
            l.st.out.print("\a\aError: %s[%d]: Digi Match: Digi %s invalid SSID range [0..15]: ",
                           l.name().c_str(), l.ctx.line_number, l.shown(tok).c_str());
            put_ssid_char_and_line(l, ssid_text[0]);
            return -10;
        }
        const int ssid = decimal_int(ssid_text);
        if (ssid > max_ssid) {
            l.st.out.print("\a\aError: %s[%d]: Digi Match: Digi %s invalid SSID range [0..15]: %d\n%s\n",
                           l.name().c_str(), l.ctx.line_number, l.shown(tok).c_str(), ssid, l.line().c_str());
            return -11;
        }
        entry[edit_flags] |= mod_ssid;
        entry[ssid_byte] = static_cast<std::uint8_t>(ssid * 2);
    }
    if (std::strlen(tok) > path_edit_call_max) {
        l.st.out.print("\a\aError: %s[%d]: Digi Match: Digi %s exceeds length %d\n%s\n", l.name().c_str(),
                       l.ctx.line_number, l.shown(tok).c_str(), static_cast<int>(path_edit_call_max), l.line().c_str());
        return -12;
    }
    store_call(entry + call.off, tok);
    return 0;
}

// The AX.25 SSID octet of a substitution digi. A digi written with '*' has
// been repeated; a WIDE digi that has been repeated is used up, so its SSID
// goes to 0. A plain call without an SSID is sent as repeated too.
std::uint8_t digi_octet(const char* call, bool starred, int ssid) {
    const std::uint8_t ssid_bits = static_cast<std::uint8_t>(ssid * 2);
    if (!starred) return ssid == 0 ? octet_repeated | octet_reserved : octet_reserved | ssid_bits;
    if (std::strncmp(call, "WIDE", 4) == 0) return octet_repeated | octet_reserved;
    return octet_repeated | octet_reserved | ssid_bits;
}

// One substitution digi (number from 1) into slot. 0 or a negative code.
int store_digi(edit_line& l, char* tok, int number, std::uint8_t* slot) {
    const bool starred = std::strchr(tok, '*') != nullptr;
    int ssid = 0;
    if (char* dash = std::strchr(tok, '-')) {
        *dash = '\0';
        const char* ssid_text = dash + 1;
        if (!is_digit(ssid_text[0])) {
            l.st.out.print("\a\aError: %s[%d]: Digi Substitution[%d]: %s invalid SSID range [0..15]: ",
                           l.name().c_str(), l.ctx.line_number, number,
                           l.shown(tok).c_str());
            put_ssid_char_and_line(l, ssid_text[0]);
            return -17;
        }
        ssid = decimal_int(ssid_text);
        if (ssid > max_ssid) {
            l.st.out.print("\a\aError: %s[%d]: Digi Substitution[%d]: %s invalid SSID range [0..15]: %d\n%s\n",
                           l.name().c_str(), l.ctx.line_number, number, l.shown(tok).c_str(), ssid, l.line().c_str());
            return -18;
        }
    }
    if (char* star = std::strchr(tok, '*')) *star = '\0';
    if (std::strlen(tok) > path_edit_call_max) {
        l.st.out.print("\a\aError: %s[%d]: Digi Substitution[%d]: %s exceeds length %d\n%s\n", l.name().c_str(),
                       l.ctx.line_number, number, l.shown(tok).c_str(), static_cast<int>(path_edit_call_max),
                       l.line().c_str());
        return -19;
    }
    store_call(slot, tok);
    slot[digi_slot_octet] = digi_octet(reinterpret_cast<const char*>(slot), starred, ssid);
    return 0;
}

// The substitution digis from first on, up to 8, into list. A digi after the
// line's comment character ends the list. 0 or a negative code.
int take_digis(edit_line& l, char* first, std::span<std::uint8_t> list) {
    int count = 0;
    for (char* tok = first; tok != nullptr && !conf_after_comment(l.ctx, tok); tok = l.take(digi_delims)) {
        const int rc = store_digi(l, tok, count + 1, list.data() + subst_list_field::digis.slot(count));
        if (rc != 0) return rc;
        list[subst_list_field::count] = static_cast<std::uint8_t>(++count);
        if (count == path_edit_max_digis) break;
    }
    return 0;
}

int check_arguments(config_state& st, int cmd_code, const char* cmd_name, const char* args) {
    if (cmd_name == nullptr) {
        st.out.put("path_edit_add: Error: invalid param cmd_name ptr\n");
        return -1;
    }
    if (cmd_code != kw_substitutepath && cmd_code != kw_deletepath) {
        st.out.print("path_edit_add: Error: invalid command: %d\n", cmd_code);
        return -2;
    }
    if (args == nullptr) {
        st.out.put("path_edit_add: Error: invalid param args ptr\n");
        return -3;
    }
    return 0;
}

int check_room(config_state& st, const conf_line_context& ctx, bool substitution) {
    if (substitution && st.conf.get(conf_field::subst_count) >= path_edit_max_subst) {
        st.out.print("\a\aError: %s[%d]: substitutions are full: %d\n%s\n", visible(st.out, ctx.file_name).c_str(),
                     ctx.line_number, path_edit_max_subst, visible(st.out, ctx.line_text).c_str());
        return -4;
    }
    if (!substitution && st.conf.get(conf_field::delete_count) >= path_edit_max_delete) {
        st.out.print("\a\aError: %s[%d]: deletes are full: %d\n%s\n", visible(st.out, ctx.file_name).c_str(),
                     ctx.line_number, path_edit_max_delete, visible(st.out, ctx.line_text).c_str());
        return -5;
    }
    return 0;
}

// The rest of a substitution line: its index, its digi list and the check
// that the list fits behind the index.
int add_substitution(edit_line& l, std::uint8_t* entry) {
    const int action = take_index(l, index_delims, subst_index_rule);
    if (action < 0) return action;
    entry[path_edit_field::action_index] = static_cast<std::uint8_t>(action);
    const std::uint16_t list_slot = l.st.conf.get(conf_field::subst_count);
    const std::span<std::uint8_t> list = l.st.conf.slot(conf_field::subst_lists, list_slot);
    char* first = l.take(digi_delims);
    if (first == nullptr || conf_after_comment(l.ctx, first)) return report_missing(l, "Substitution Path", -16);
    entry[path_edit_field::subst_index] = static_cast<std::uint8_t>(list_slot);
    std::memset(list.data(), 0, list.size());
    return take_digis(l, first, list);
}

}  // namespace

int path_edit_add(config_state& st, const conf_line_context& ctx, int cmd_code, const char* cmd_name, char* args) {
    using namespace path_edit_field;
    if (const int rc = check_arguments(st, cmd_code, cmd_name, args); rc != 0) return rc;
    const bool substitution = cmd_code == kw_substitutepath;
    if (const int rc = check_room(st, ctx, substitution); rc != 0) return rc;

    const int slot_number = path_edits_in_use(st.conf);
    std::uint8_t* const entry = st.conf.slot(conf_field::path_edit_table, slot_number).data();
    std::memset(entry, 0, path_edit_entry_size);
    edit_line l{st, ctx, args};

    const int match = take_index(l, index_delims, match_index_rule);
    if (match < 0) return match;
    entry[match_index] = static_cast<std::uint8_t>(match);
    if (const int rc = take_digi_match(l, entry, substitution ? edit_sub : edit_del); rc != 0) return rc;

    if (substitution) {
        if (const int rc = add_substitution(l, entry); rc != 0) return rc;
    } else {
        const int action = take_index(l, digi_delims, delete_index_rule);
        if (action < 0) return action;
        entry[action_index] = static_cast<std::uint8_t>(action);
    }

    if (const int dupe = check_path_edit_dupe(st, entry); dupe > 0) {
        st.out.print(substitution ? "\a\aError: %s[%d]: Duplicate Path Substitution at entry %d\n"
                                  : "\a\aError: %s[%d]: Duplicate Path Delete at entry %d\n",
                     visible(st.out, ctx.file_name).c_str(), ctx.line_number, dupe);
        return -20;
    }
    if (substitution && entry[action_index] != 0) {
        const int digis = st.conf.slot(conf_field::subst_lists, entry[subst_index])[subst_list_field::count];
        if (entry[action_index] + digis - 1 > path_edit_max_index) {
            st.out.print("\a\aError: %s[%d]: Digi Substitution Index (%d) and Number of Substitution Digis (%d) "
                         "exceeds Maximum (%d)\n%s\n",
                         visible(st.out, ctx.file_name).c_str(), ctx.line_number, entry[action_index], digis,
                         path_edit_max_index, visible(st.out, ctx.line_text).c_str());
            return -20;
        }
    }
    const auto counter = substitution ? conf_field::subst_count : conf_field::delete_count;
    st.conf.set(counter, static_cast<std::uint16_t>(st.conf.get(counter) + 1));
    return 0;
}

int check_path_edit_dupe(config_state& st, const std::uint8_t* poe) {
    using namespace path_edit_field;
    if (poe == nullptr) {
        st.out.put("check_path_edit_dupe: Error: invalid param poe ptr\n");
        return -1;
    }
    const int in_use = path_edits_in_use(st.conf);
    for (int n = 0; n < in_use; ++n) {
        const std::uint8_t* old = st.conf.slot(conf_field::path_edit_table, n).data();
        if (old[edit_flags] == poe[edit_flags] && old[match_index] == poe[match_index] &&
            old[action_index] == poe[action_index] && std::memcmp(old, poe, compared_prefix) == 0)
            return n + 1;
    }
    return 0;
}

namespace {

char index_char(std::uint8_t index) { return index == 0 ? '*' : static_cast<char>('0' + index); }

std::string bounded(const std::uint8_t* p, std::size_t width) {
    std::size_t n = 0;
    while (n < width && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::string match_text(const std::uint8_t* entry) {
    using namespace path_edit_field;
    const std::uint8_t flags = entry[edit_flags];
    const std::string call_text = bounded(entry + call.off, call.width);
    if (flags & mod_any) return "*";
    if (flags & mod_prefix) return call_text + "*";
    if (flags & mod_ssid) return call_text + "-" + std::to_string((entry[ssid_byte] >> 1) & 0x0F);
    return call_text;
}

void print_digi_list(config_state& st, std::span<const std::uint8_t> list) {
    const int count = list[subst_list_field::count] < path_edit_max_digis ? list[subst_list_field::count]
                                                                           : path_edit_max_digis;
    for (int n = 0; n < count; ++n) {
        const std::uint8_t* slot = list.data() + subst_list_field::digis.slot(n);
        const std::string call_text = bounded(slot, digi_slot_octet);
        const std::uint8_t octet = slot[digi_slot_octet];
        const char* separator = n == 0 ? "" : ",";
        const char* mark = (octet & octet_repeated) ? "*" : "";
        const int ssid = (octet >> 1) & 0x0F;
        if (ssid != 0) {
            st.out.print("%s%s-%d%s", separator, visible(st.out, call_text).c_str(), ssid, mark);
        } else {
            st.out.print("%s%s%s", separator, visible(st.out, call_text).c_str(), mark);
        }
    }
}

}  // namespace

void path_edit_display(config_state& st) {
    using namespace path_edit_field;
    const unsigned subst = st.conf.get(conf_field::subst_count);
    const unsigned deletes = st.conf.get(conf_field::delete_count);
    st.out.print("Path Substitution: Count %2u, Max %2d, Entry size %2d, Table size %3d\n", subst,
                 path_edit_max_subst, subst_entry_bytes, path_edit_max_subst * subst_entry_bytes);
    st.out.print("Path Delete:       Count %2u, Max %2d, Entry size %2d, Table size %3d\n", deletes,
                 path_edit_max_delete, delete_entry_bytes, path_edit_max_delete * delete_entry_bytes);
    if (subst == 0 && deletes == 0) return;
    st.out.put("#  Type MIndx Match      AIndx Substitution Digi Path\n\n");
    const int in_use = std::min<int>(static_cast<int>(subst + deletes),
                                     static_cast<int>(conf_field::path_edit_table.count));
    for (int n = 0; n < in_use; ++n) {
        const std::uint8_t* entry = st.conf.slot(conf_field::path_edit_table, n).data();
        const bool is_sub = (entry[edit_flags] & edit_sub) != 0;
        st.out.print("%-2d  %s   %c   ", n + 1, is_sub ? "Sub" : "Del", index_char(entry[match_index]));
        const std::string match = match_text(entry);
        if (!is_sub) {
            st.out.print("%-9s    %c\n", visible(st.out, match).c_str(), index_char(entry[action_index]));
            continue;
        }
        st.out.print("%-9s    %c   ", visible(st.out, match).c_str(), index_char(entry[action_index]));
        const std::size_t list_slot = entry[subst_index] % conf_field::subst_lists.count;
        print_digi_list(st, st.conf.slot(conf_field::subst_lists, list_slot));
        st.out.put("\n");
    }
}

}  // namespace zuv
