// The arguments of the seven rule kinds: each is taken with its own separator
// set, checked, and stored in its cell as the device expects it.

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "coords/dmctodeg.h"
#include "core/visible.h"
#include "core/keyword.h"
#include "rules/rule_line.h"
#include "rules/rules_reader.h"
#include "rules/rules_state.h"

namespace zuv {

namespace {

bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The C library's atof over a token, rounded to single precision: every check
// is made on the value the device will hold.
float single_value(std::string_view token) {
    char text[rule_line_size];
    const std::size_t n = std::min(token.size(), sizeof text - 1);
    std::memcpy(text, token.data(), n);
    text[n] = '\0';
    return static_cast<float>(std::strtod(text, nullptr));
}

// The two messages for an argument that is not there: no token left at all,
// or only one that begins inside the comment.
struct arg_missing {
    const char* absent;
    int absent_code;
    const char* after_comment;
    int after_comment_code;
};

struct arg_token {
    std::string_view text;
    int rc;  // 0: text is the argument
};

bool after_comment(const rule_line& ln, std::string_view token) {
    return ln.comment_at != std::string_view::npos &&
           static_cast<std::size_t>(token.data() - ln.text.data()) > ln.comment_at;
}

arg_token take_arg(rule_line& ln, std::string_view separators, const arg_missing& m) {
    const auto token = ln.cursor.next(separators);
    if (!token) return {{}, line_error(ln, m.absent, m.absent_code)};
    if (after_comment(ln, *token)) return {{}, line_error(ln, m.after_comment, m.after_comment_code)};
    return {*token, 0};
}

int value_error(const rule_line& ln, const char* label, float value, int code) {
    line_error_head(ln);
    ln.st.out.put(label);
    ln.st.out.print(": %f", static_cast<double>(value));
    return line_error_tail(ln, code);
}

// A latitude, longitude or sector angle.
struct angle_arg {
    std::string_view separators;
    arg_missing missing;
    float low;
    float high;
    const char* range_label;  // followed by ": %f"
    int range_code;
    field_at<float> cell;
};

int read_angle(rule_line& ln, rule_record& rec, const angle_arg& a) {
    const arg_token t = take_arg(ln, a.separators, a.missing);
    if (t.rc != 0) return t.rc;
    // The blanks between an angle and the comma, comment or line end that
    // follows it are not part of it: the parser takes a blank after the last
    // identifier for a broken angle. A token of blanks only is left to the
    // parser to refuse.
    std::string_view angle = t.text;
    if (const std::size_t last = angle.find_last_not_of(' '); last != std::string_view::npos)
        angle = angle.substr(0, last + 1);
    // A text that is no angle gives FLT_MAX after the parser's own message,
    // and the range check below refuses it with a message of its own.
    const float v = dmctodeg(ln.st.out, angle);
    if (!(v >= a.low && v <= a.high)) return value_error(ln, a.range_label, v, a.range_code);
    rec.set(a.cell, v);
    return 0;
}

int read_angles(rule_line& ln, rule_record& rec, std::initializer_list<angle_arg> args) {
    for (const angle_arg& a : args)
        if (const int rc = read_angle(ln, rec, a); rc != 0) return rc;
    return 0;
}

// Callsigns: "*" any, "CALL*" a prefix, "CALL-n" an SSID, or a plain callsign.
enum class call_style { kept_case, digi };

struct callsign_arg {
    arg_missing missing;
    call_style style;
    const char* too_long_label;  // kept_case only: followed by the cut text
    int too_long_code;
    int ssid_code;
};

constexpr callsign_arg destin_call{
    {"missing Destination", -11, "missing Destination string", -8}, call_style::kept_case,
    "Destination is too long: ", -10, -9};
constexpr callsign_arg source_call{
    {"missing Source", -13, "missing Source string", -12}, call_style::kept_case, "Source is too long: ", -11, -9};
constexpr callsign_arg digi_call{{"missing Digi-n", -67, "missing Digi-n", -61}, call_style::digi, nullptr, -61, -61};

// The character after the '-' is not a digit. When the '-' ends the token
// there is no character to show, and none is printed.
int ssid_char_error(const rule_line& ln, const callsign_arg& a, std::string_view token, std::string_view shown) {
    line_error_head(ln);
    const int shown_len = static_cast<int>(std::min<std::size_t>(shown.size(), 1));
    if (a.style == call_style::digi) {
        ln.st.out.print("Digi Match: Digi %s invalid SSID range [0..15]: %s", visible(ln.st.out, token).c_str(),
                        visible(ln.st.out, shown.substr(0, shown_len)).c_str());
    } else {
        ln.st.out.print("invalid SSID range [0..15]: %s", visible(ln.st.out, shown.substr(0, shown_len)).c_str());
    }
    return line_error_tail(ln, a.ssid_code);
}

int ssid_value_error(const rule_line& ln, const callsign_arg& a, std::string_view token, int ssid) {
    line_error_head(ln);
    if (a.style == call_style::digi) {
        ln.st.out.print("Digi Match: Digi %s invalid SSID range [0..15]: %d", visible(ln.st.out, token).c_str(), ssid);
    } else {
        ln.st.out.print("invalid SSID range [0..15]: %d", ssid);
    }
    return line_error_tail(ln, a.ssid_code);
}

int too_long_error(const rule_line& ln, const callsign_arg& a, std::string_view call) {
    line_error_head(ln);
    if (a.style == call_style::digi) {
        ln.st.out.print("Digi Match: Digi %s exceeds length %d", visible(ln.st.out, call).c_str(),
                        static_cast<int>(rule_cell_width));
    } else {
        ln.st.out.put(a.too_long_label);
        put_visible(ln.st.out, call);
    }
    return line_error_tail(ln, a.too_long_code);
}

// token holds a '-' at dash: the SSID is the number after it.
int read_ssid(const rule_line& ln, rule_record& rec, const callsign_arg& a, std::string_view token,
              std::size_t dash) {
    const std::string_view number = token.substr(dash + 1);
    if (number.empty() || !is_decimal_digit(number[0])) return ssid_char_error(ln, a, token, number);
    const int ssid = decimal_int(number);
    if (ssid > max_ssid) return ssid_value_error(ln, a, token, ssid);
    rec.set(rule_field::byte_2, static_cast<std::uint8_t>(ssid));
    return 0;
}

int store_callsign(const rule_line& ln, rule_record& rec, const callsign_arg& a, std::string_view call) {
    if (call.size() > rule_cell_width) return too_long_error(ln, a, call);
    const auto cell = rec.cell(rule_field::argument_1);
    std::fill(cell.begin(), cell.end(), std::uint8_t{0});
    for (std::size_t i = 0; i < call.size(); ++i)
        cell[i] = static_cast<std::uint8_t>(a.style == call_style::digi ? ascii_upper(call[i]) : call[i]);
    return 0;
}

void add_flags(rule_record& rec, std::uint8_t bits) {
    rec.set(rule_field::flags, static_cast<std::uint8_t>(rec.get(rule_field::flags) | bits));
}

int read_callsign(rule_line& ln, rule_record& rec, const callsign_arg& a) {
    const arg_token t = take_arg(ln, last_word_separators, a.missing);
    if (t.rc != 0) return t.rc;
    const std::string_view token = t.text;
    if (token[0] == '*') {
        add_flags(rec, mod_prefix | mod_any);
        return 0;
    }
    std::string_view call = token;
    if (const std::size_t star = token.find('*'); star != std::string_view::npos) {
        add_flags(rec, mod_prefix);
        call = token.substr(0, star);
    } else if (const std::size_t dash = token.find('-'); dash != std::string_view::npos) {
        if (const int rc = read_ssid(ln, rec, a, token, dash); rc != 0) return rc;
        add_flags(rec, mod_ssid);
        call = token.substr(0, dash);
    }
    return store_callsign(ln, rec, a, call);
}

// circle: radius, latitude, longitude.
int read_circle(rule_line& ln, rule_record& rec) {
    const arg_token t = take_arg(ln, word_separators, {"missing Radius", -25, "missing Range", -14});
    if (t.rc != 0) return t.rc;
    const float radius = single_value(t.text);
    if (!(radius > 0.0f)) return value_error(ln, "invalid Circle Radius, must be > 0", radius, -16);
    rec.set(rule_field::float_1, radius);
    return read_angles(
        ln, rec,
        {{angle_separators, {"missing Latitude", -24, "missing Latitude", -17}, -90.0f, 90.0f,
          "invalid Latitude range [-90..90]", -19, rule_field::float_2},
         {last_angle_separators, {"missing Longitude", -23, "missing Longitude", -20}, -180.0f, 180.0f,
          "invalid Longitude range [-180..180]", -22, rule_field::float_3}});
}

// compass: direction, latitude, longitude.
int read_compass(rule_line& ln, rule_record& rec) {
    const arg_token t =
        take_arg(ln, word_separators, {"missing Compass Direction", -37, "missing Direction", -26});
    if (t.rc != 0) return t.rc;
    std::size_t code = 1;
    while (code < compass_names.size() &&
           !(t.text.size() == std::strlen(compass_names[code]) && keyword_prefix_match(t.text, compass_names[code])))
        ++code;
    if (code == compass_names.size()) {
        line_error_head(ln);
        ln.st.out.print("invalid compass Direction %s", visible(ln.st.out, t.text).c_str());
        return line_error_tail(ln, -27);
    }
    rec.set(rule_field::byte_1, static_cast<std::uint8_t>(code));
    return read_angles(
        ln, rec,
        {{angle_separators, {"missing Latitude", -36, "missing Latitude", -29}, -90.0f, 90.0f,
          "invalid Latitude range [-90..90]", -31, rule_field::float_2},
         {last_angle_separators, {"missing Longitude", -35, "missing Longitude", -32}, -180.0f, 180.0f,
          "invalid Longitude range [-180..180]", -34, rule_field::float_3}});
}

// rectangle: two corners, each a latitude and a longitude.
int read_rectangle(rule_line& ln, rule_record& rec) {
    return read_angles(
        ln, rec,
        {{angle_separators, {"missing Latitude1", -53, "missing Latitude1", -38}, -90.0f, 90.0f,
          "invalid Latitude1 range [-90..90]", -40, rule_field::float_1},
         {angle_separators, {"missing Longitude1", -52, "missing Longitude1", -41}, -180.0f, 180.0f,
          "invalid Longitude1 range [-180..180]", -43, rule_field::float_2},
         {angle_separators, {"missing Latitude2", -51, "missing Latitude2", -44}, -90.0f, 90.0f,
          "invalid Latitude2 range [-90..90]", -46, rule_field::float_3},
         {last_angle_separators, {"missing Longitude2", -50, "missing Longitude2", -47}, -180.0f, 180.0f,
          "invalid Longitude2 range [-180..180]", -49, rule_field::float_4}});
}

int read_sector_ranges(rule_line& ln, rule_record& rec) {
    const arg_token t =
        take_arg(ln, last_word_separators, {"missing Inner Range", -67, "missing Inner Range", -61});
    if (t.rc != 0) return t.rc;
    if (!is_decimal_digit(t.text[0])) return line_error(ln, "invalid or missing Inner Range", -62);
    const float inner = single_value(t.text);
    if (!(inner >= 0.0f)) return value_error(ln, "invalid Inner Range, must be >= 0", inner, -64);
    rec.set(rule_field::float_3, inner);

    // The outer range may be left out, or replaced by a comment: it stays 0.0.
    const auto outer_token = ln.cursor.next(last_word_separators);
    if (!outer_token || after_comment(ln, *outer_token)) return 0;
    const float outer = single_value(*outer_token);
    if (!(outer > inner)) return value_error(ln, "invalid Outer Range, must be > Inner Range", outer, -66);
    rec.set(rule_field::float_4, outer);
    return 0;
}

// sector: two bearings, an inner range and an optional outer range.
int read_sector(rule_line& ln, rule_record& rec) {
    const int rc = read_angles(
        ln, rec,
        {{angle_separators, {"missing Angle1", -69, "missing Angle1", -54}, 0.0f, 360.0f,
          "invalid Angle1, range [0..360]", -57, rule_field::float_1},
         {angle_separators, {"missing Angle2", -68, "missing Angle2", -58}, 0.0f, 360.0f,
          "invalid Angle2, range [0..360]", -60, rule_field::float_2}});
    return rc != 0 ? rc : read_sector_ranges(ln, rec);
}

// digi: the position in the digipeater path (0 or * for any), then the callsign.
int read_digi(rule_line& ln, rule_record& rec) {
    const arg_token t = take_arg(ln, word_separators, {"missing Match Index", -69, "missing Match Index", -54});
    if (t.rc != 0) return t.rc;
    int index = 0;
    if (t.text[0] != '*') {
        if (!is_decimal_digit(t.text[0])) {
            line_error_head(ln);
            ln.st.out.print("invalid Match Index, range [0..%d]: %s", max_match_index,
                            visible(ln.st.out, t.text.substr(0, 1)).c_str());
            return line_error_tail(ln, -57);
        }
        index = decimal_int(t.text);
        if (index > max_match_index) {
            line_error_head(ln);
            ln.st.out.print("invalid Match Index, range [0..%d]: %d", max_match_index, index);
            return line_error_tail(ln, -57);
        }
    }
    rec.set(rule_field::byte_3, static_cast<std::uint8_t>(index));
    return read_callsign(ln, rec, digi_call);
}

}  // namespace

int read_rule_arguments(rule_line& ln, int command, rule_record& rec) {
    switch (command) {
    case kw_destin: return read_callsign(ln, rec, destin_call);
    case kw_source: return read_callsign(ln, rec, source_call);
    case kw_circle: return read_circle(ln, rec);
    case kw_compass: return read_compass(ln, rec);
    case kw_rectangle: return read_rectangle(ln, rec);
    case kw_sector: return read_sector(ln, rec);
    case kw_digi: return read_digi(ln, rec);
    default: return 0;
    }
}

}  // namespace zuv
