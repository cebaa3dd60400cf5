#include "config/conf_items.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/conf_record.h"
#include "config/config_state.h"
#include "config/path_edit.h"
#include "coords/dmctodeg.h"
#include "core/args.h"
#include "core/visible.h"
#include "serial/baud.h"

namespace zuv {

namespace {

// Most arguments end at a comment character as well as at blanks, tabs and
// commas. An angle runs to a blank, tab or comma, so a comment character
// written into it makes it an invalid angle rather than a missing one. Free
// texts keep their blanks and commas.
constexpr std::string_view arg_delims = "#/; \t,";
constexpr std::string_view angle_delims = " \t,";
constexpr std::string_view text_delims = "#/;\t";
constexpr std::string_view icon_delims = " \t";
constexpr std::string_view digi_path_element_delims = ", ";

constexpr int missing_at_end = -11;
constexpr int missing_in_comment = -8;
constexpr int invalid = -11;
constexpr int icon_fault = -8;

constexpr std::size_t call_max = 6;
constexpr std::size_t control_call_max = 9;
constexpr std::size_t digi_element_max = 8;
constexpr std::size_t beacon_comment_max = 43;
constexpr int wide_limit = 6;
constexpr int u16_max = 65535;
constexpr int beacon_min = 10;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool is_c_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// A number read as strtol reads it with base 0: 0x or 0X hexadecimal, a
// leading 0 octal, else decimal, up to the first character that does not
// fit. *end is where reading stopped (the start of text when no digit was
// read). Values beyond 32 bits saturate, as a 32-bit long does, so every
// host reads the same numbers.
std::int32_t auto_base_value(const char* text, const char** end) {
    const char* p = text;
    while (is_c_space(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    const char* const digits = p;
    long long value = 0;
    for (; digit_value(*p) < base; ++p) {
        value = value * base + digit_value(*p);
        if (value > static_cast<long long>(INT32_MAX) + 1) value = static_cast<long long>(INT32_MAX) + 1;
    }
    *end = p == digits ? text : p;
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

std::int32_t auto_base_value(const char* text) {
    const char* end = nullptr;
    return auto_base_value(text, &end);
}

// Copies text, upper-cased, with its terminating zero over the start of a
// call field; the bytes after the zero keep what they held.
void store_upper(std::uint8_t* field, const char* text) {
    std::size_t i = 0;
    for (; text[i] != '\0'; ++i) field[i] = static_cast<std::uint8_t>(ascii_upper(text[i]));
    field[i] = 0;
}

struct item_line {
    config_state& st;
    conf_line_context& ctx;
    char* rest;

    char* take(std::string_view delims) { return next_token(rest, delims, &rest); }
    // The file's name, its line and its tokens as a message may show them.
    std::string name() const { return visible(st.out, ctx.file_name); }
    std::string line() const { return visible(st.out, ctx.line_text); }
    std::string shown(std::string_view text) const { return visible(st.out, text); }
    conf_record& conf() { return st.conf; }
};

int report_missing(const item_line& l, const char* what, int code) {
    l.st.out.print("\a\aError: %s[%d]: missing %s argument: %s\n", l.name().c_str(), l.ctx.line_number, what,
                   l.line().c_str());
    return code;
}

// The usual argument: missing at the end of the line, or missing because it
// stands inside the comment. nullptr with rc set when it is missing.
char* take_arg(item_line& l, std::string_view delims, const char* what, int& rc) {
    char* tok = l.take(delims);
    if (tok == nullptr) {
        rc = report_missing(l, what, missing_at_end);
        return nullptr;
    }
    if (conf_after_comment(l.ctx, tok)) {
        rc = report_missing(l, what, missing_in_comment);
        return nullptr;
    }
    return tok;
}

int baud_item(item_line& l, field_at<std::uint32_t> field) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "Baud", rc);
    if (tok == nullptr) return rc;
    const int rate = decimal_int(tok);
    const auto known = get_baud(l.st.out, rate);
    if (!known) {
        l.st.out.print("\a\aError: %s[%d]: invalid Baud argument: %d: %s\n", l.name().c_str(), l.ctx.line_number,
                       rate, l.line().c_str());
        return invalid;
    }
    l.conf().set(field, static_cast<std::uint32_t>(*known));
    return 0;
}

int call_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "Call Sign", rc);
    if (tok == nullptr) return rc;
    if (std::strlen(tok) > call_max) {
        l.st.out.print("\a\aError: %s[%d]: invalid Call Sign argument: too long: %s\n", l.name().c_str(),
                       l.ctx.line_number, l.line().c_str());
        return invalid;
    }
    store_upper(l.conf().area(conf_field::station_call).data(), tok);
    return 0;
}

int ssid_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "SSID", rc);
    if (tok == nullptr) return rc;
    const std::int32_t ssid = auto_base_value(tok);
    if (!is_digit(tok[0]) || ssid < 0 || ssid > 15) {
        l.st.out.print("\a\aError: %s[%d]: invalid SSID argument range [0..15]: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, static_cast<int>(ssid), l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::ssid, static_cast<std::uint16_t>(ssid));
    return 0;
}

int latitude_from(item_line& l, const char* tok) {
    const float deg = dmctodeg(l.st.out, tok);
    if (deg == dmc_failure) {
        l.st.out.print("\a\aError: %s[%d]: invalid Station Latitude argument: %s: %s\n", l.name().c_str(),
                       l.ctx.line_number, l.shown(tok).c_str(), l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::latitude, deg);
    return 0;
}

int longitude_from(item_line& l, const char* tok) {
    const float deg = dmctodeg(l.st.out, tok);
    if (deg == dmc_failure) {
        l.st.out.print("\a\aError: %s[%d]: invalid Station Longitude argument: %s: %s\n", l.name().c_str(),
                       l.ctx.line_number, l.shown(tok).c_str(), l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::longitude, deg);
    return 0;
}

int lat_item(item_line& l) {
    const char* tok = l.take(angle_delims);
    if (tok == nullptr) return report_missing(l, "Station Latitude", missing_at_end);
    return latitude_from(l, tok);
}

int lon_item(item_line& l) {
    const char* tok = l.take(angle_delims);
    if (tok == nullptr) return report_missing(l, "Station Longitude", missing_at_end);
    return longitude_from(l, tok);
}

// position and base: the latitude is stored before the longitude is read.
int position_item(item_line& l) {
    if (const int rc = lat_item(l); rc != 0) return rc;
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "Station Longitude", rc);
    if (tok == nullptr) return rc;
    return longitude_from(l, tok);
}

int altitude_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "Altitude", rc);
    if (tok == nullptr) return rc;
    const char* end = nullptr;
    std::int32_t metres = auto_base_value(tok, &end);
    if (*end == 'f' || *end == 'F') metres = static_cast<std::int32_t>(static_cast<float>(metres) / 3.28f);
    l.conf().set(conf_field::altitude, metres);
    return 0;
}

int wide_range_fault(item_line& l, int n) {
    l.st.out.print("\a\aError: %s[%d]: invalid n argument range [1..%d]: %d: %s\n", l.name().c_str(),
                   l.ctx.line_number, wide_limit, n, l.line().c_str());
    return invalid;
}

int widemax_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "n", rc);
    if (tok == nullptr) return rc;
    const int n = decimal_int(tok);
    if (n < 1 || n > wide_limit) return wide_range_fault(l, n);
    const int total = l.conf().get(conf_field::wide_total);
    if (n > total) {
        l.st.out.print("\a\aError: %s[%d]: invalid n argument %d must be <= WIDETOTAL: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, n, total, l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::wide_max, static_cast<std::uint16_t>(n));
    return 0;
}

int widetotal_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "n", rc);
    if (tok == nullptr) return rc;
    const int n = decimal_int(tok);
    if (n < 1 || n > wide_limit) return wide_range_fault(l, n);
    const int max = l.conf().get(conf_field::wide_max);
    if (n < max) {
        l.st.out.print("\a\aError: %s[%d]: invalid n argument %d must be >= WIDEMAX: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, n, max, l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::wide_total, static_cast<std::uint16_t>(n));
    return 0;
}

// Only the first character counts: y, t, e or 1 (yes, true, enabled) in
// either case; nonaprs also takes p (pass).
int yes_no_item(item_line& l, field_at<std::uint16_t> field, bool pass_is_yes) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "y | n", rc);
    if (tok == nullptr) return rc;
    const char c = tok[0];
    const bool yes = (c != '\0' && std::strchr("yYtTeE1", c) != nullptr) || (pass_is_yes && (c == 'p' || c == 'P'));
    l.conf().set(field, static_cast<std::uint16_t>(yes ? 1 : 0));
    return 0;
}

int dupewin_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "seconds", rc);
    if (tok == nullptr) return rc;
    const int seconds = decimal_int(tok);
    if (seconds < 5 || seconds > 500) {
        l.st.out.print("\a\aError: %s[%d]: invalid seconds argument range [5..500]: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, seconds, l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::dupe_window, static_cast<std::uint16_t>(seconds));
    return 0;
}

int ratelimcall_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "seconds", rc);
    if (tok == nullptr) return rc;
    const int seconds = decimal_int(tok);
    if (seconds < 0 || seconds > u16_max) {
        l.st.out.print("\a\aError: %s[%d]: invalid seconds argument range [0..%d]: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, u16_max, seconds, l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::call_rate_limit, static_cast<std::uint16_t>(seconds));
    return 0;
}

int beacon_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "seconds", rc);
    if (tok == nullptr) return rc;
    const std::int32_t seconds = auto_base_value(tok);
    if (seconds != 0 && (seconds < beacon_min || seconds > u16_max)) {
        l.st.out.print("\a\aError: %s[%d]: invalid seconds argument range [0, %d..%d]: %d: %s\n", l.name().c_str(),
                       l.ctx.line_number, beacon_min, u16_max, static_cast<int>(seconds), l.line().c_str());
        return invalid;
    }
    l.conf().set(conf_field::beacon_interval, static_cast<std::uint16_t>(seconds));
    return 0;
}

// The elements are stored as they are read, so a too-long element leaves
// the ones before it, and digi_path_count always counts what is stored.
int digipath_item(item_line& l) {
    int rc = 0;
    char* path = take_arg(l, text_delims, "Digi Path", rc);
    if (path == nullptr) return rc;
    std::memset(l.conf().bytes.data() + conf_field::digi_path.off, 0,
                conf_field::digi_path.count * conf_field::digi_path.stride);
    l.st.digi_path_count = 0;
    char* rest = path;
    for (std::size_t n = 0; n < conf_field::digi_path.count; ++n) {
        const char* element = next_token(rest, digi_path_element_delims, &rest);
        if (element == nullptr) break;
        const std::size_t len = std::strlen(element);
        if (len > digi_element_max) {
            l.st.out.print("\a\aError: %s[%d]: Digi Path[%d]: %s exceeds length %d: %s\n", l.name().c_str(),
                           l.ctx.line_number, static_cast<int>(n + 1), l.shown(element).c_str(),
                           static_cast<int>(digi_element_max), l.line().c_str());
            return invalid;
        }
        const auto slot = l.conf().slot(conf_field::digi_path, n);
        for (std::size_t i = 0; i < len; ++i) slot[i] = static_cast<std::uint8_t>(ascii_upper(element[i]));
        l.st.digi_path_count = static_cast<std::int32_t>(n + 1);
    }
    return 0;
}

int bcomment_item(item_line& l) {
    int rc = 0;
    const char* text = take_arg(l, text_delims, "Beacon Comment", rc);
    if (text == nullptr) return rc;
    const auto field = l.conf().area(conf_field::beacon_comment);
    std::memset(field.data(), 0, field.size());
    const std::size_t len = std::min(std::strlen(text), beacon_comment_max);
    std::memcpy(field.data(), text, len);
    return 0;
}

bool is_symbol_table_id(char c) {
    return c == '/' || c == '\\' || is_digit(c) || (c >= 'a' && c <= 'j') || (c >= 'A' && c <= 'Z');
}

int icon_item(item_line& l) {
    const char* tok = l.take(icon_delims);
    if (tok == nullptr) return report_missing(l, "Beacon Icon", icon_fault);
    if (!is_symbol_table_id(tok[0])) {
        l.st.out.print("\a\aError: %s[%d]: Icon Symbol ID must be one of / \\ 0..9 a..j A..Z: %s\n",
                       l.name().c_str(), l.ctx.line_number, l.line().c_str());
        return icon_fault;
    }
    if (tok[1] < '!' || tok[1] > '~') {
        l.st.out.print("\a\aError: %s[%d]: Icon Code must be in range [!..~]: %s\n", l.name().c_str(),
                       l.ctx.line_number, l.line().c_str());
        return icon_fault;
    }
    l.conf().set(conf_field::icon, static_cast<std::uint16_t>(static_cast<unsigned char>(tok[0]) * 256 +
                                                              static_cast<unsigned char>(tok[1])));
    return 0;
}

int controlcall_item(item_line& l) {
    int rc = 0;
    const char* tok = take_arg(l, arg_delims, "Control Call-SSID", rc);
    if (tok == nullptr) return rc;
    if (std::strlen(tok) > control_call_max) {
        l.st.out.print("\a\aError: %s[%d]: invalid Control Call-SSID argument: too long (max is %d): %s\n",
                       l.name().c_str(), l.ctx.line_number, static_cast<int>(control_call_max), l.line().c_str());
        return invalid;
    }
    store_upper(l.conf().area(conf_field::control_call).data(), tok);
    return 0;
}

int uitrace_item(item_line& l) {
    l.conf().set(conf_field::ui_trace, static_cast<std::uint16_t>(~l.conf().get(conf_field::ui_trace)));
    return 0;
}

int path_edit_item(item_line& l, const keyword_entry& row) {
    return path_edit_add(l.st, l.ctx, row.code, row.text, l.rest) == 0 ? 0 : invalid;
}

}  // namespace

int conf_item(config_state& st, conf_line_context& ctx, const keyword_entry& row, char* rest) {
    using namespace conf_field;
    item_line l{st, ctx, rest};
    switch (row.code) {
    case kw_host: return baud_item(l, host_baud);
    case kw_tnc: return baud_item(l, tnc_baud);
    case kw_gps: return baud_item(l, gps_baud);
    case kw_call: return call_item(l);
    case kw_ssid: return ssid_item(l);
    case kw_position: return position_item(l);
    case kw_lat: return lat_item(l);
    case kw_lon: return lon_item(l);
    case kw_altitude: return altitude_item(l);
    case kw_widemax: return widemax_item(l);
    case kw_widetotal: return widetotal_item(l);
    case kw_haltonerr: return yes_no_item(l, halt_on_error, false);
    case kw_dropmangld: return yes_no_item(l, drop_mangled, false);
    case kw_fixvalid: return yes_no_item(l, fix_valid, false);
    case kw_relaydrop: return yes_no_item(l, relay_drop, false);
    case kw_nsr: return yes_no_item(l, nsr, false);
    case kw_havegps: return yes_no_item(l, have_gps, false);
    case kw_log: return yes_no_item(l, log_port, false);
    case kw_nonaprs: return yes_no_item(l, non_aprs, true);
    case kw_dupewin: return dupewin_item(l);
    case kw_ratelimcall: return ratelimcall_item(l);
    case kw_beacon: return beacon_item(l);
    case kw_digipath: return digipath_item(l);
    case kw_bcomment: return bcomment_item(l);
    case kw_icon: return icon_item(l);
    case kw_controlcall: return controlcall_item(l);
    case kw_uitrace: return uitrace_item(l);
    case kw_substitutepath:
    case kw_deletepath: return path_edit_item(l, row);
    default: return 0;  // every row of the keyword table is handled above
    }
}

}  // namespace zuv
