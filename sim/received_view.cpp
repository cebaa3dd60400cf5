#include "received_view.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace zuvsim {

namespace {

// Reads the little-endian fields of a record at their byte offsets; the
// records are packed, so nothing here assumes alignment.
class record_bytes {
public:
    explicit record_bytes(std::string_view b) : b_(b) {}
    unsigned byte(std::size_t at) const { return static_cast<unsigned char>(b_[at]); }
    unsigned u16(std::size_t at) const { return byte(at) | byte(at + 1) << 8; }
    std::int16_t s16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const {
        return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    }
    std::int32_t s32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    float f32(std::size_t at) const {
        const std::uint32_t bits = u32(at);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string_view field(std::size_t at, std::size_t width) const { return b_.substr(at, width); }
    bool zero(std::size_t at, std::size_t width) const {
        return field(at, width).find_first_not_of('\0') == std::string_view::npos;
    }

private:
    std::string_view b_;
};

std::string number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    return buf;
}

std::string hex(unsigned v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
    return buf;
}

// Bytes as a quoted text, with anything unprintable as \xHH.
std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\') {
            out.push_back(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", u);
            out += buf;
        }
    }
    return out + "\"";
}

// A fixed-width text field: the text up to its terminator, and the whole
// field as well when something other than zeros follows the terminator.
std::string text_field(const record_bytes& r, std::size_t at, std::size_t width) {
    const std::string_view f = r.field(at, width);
    const std::size_t end = f.find('\0');
    const std::string_view text = f.substr(0, end);
    std::string out = quoted(text);
    if (end != std::string_view::npos && f.find_first_not_of('\0', end) != std::string_view::npos)
        out += " (field " + quoted(f) + ")";
    return out;
}

void line(std::string& out, const std::string& name, const std::string& value) {
    out += name + " " + value + "\n";
}

std::string character_of(unsigned v) {
    if (v >= 0x20 && v < 0x7F) return std::string(" '") + static_cast<char>(v) + "'";
    return "";
}

void describe_scalars(std::string& out, const record_bytes& r) {
    struct uint_field { const char* name; std::size_t at; int width; };
    static const uint_field head[] = {{"host_baud", 0, 4}, {"gps_baud", 4, 4}, {"tnc_baud", 8, 4}};
    for (const auto& f : head) line(out, f.name, std::to_string(r.u32(f.at)));
    line(out, "altitude", std::to_string(r.s32(12)));
    line(out, "latitude", number(r.f32(16)));
    line(out, "longitude", number(r.f32(20)));
    line(out, "station_call", text_field(r, 24, 8));
    static const uint_field words[] = {
        {"ssid", 32, 2},          {"wide_max", 34, 2},     {"wide_total", 36, 2},      {"relay_drop", 38, 2},
        {"ui_trace", 40, 2},      {"nsr", 42, 2},          {"have_gps", 44, 2},        {"dupe_window", 46, 2},
        {"beacon_interval", 48, 2}};
    for (const auto& f : words) line(out, f.name, std::to_string(r.u16(f.at)));
    line(out, "icon", hex(r.u16(50), 4) + character_of(r.byte(51)) + character_of(r.byte(50)));
    static const uint_field flags[] = {
        {"log_port", 52, 2},   {"halt_on_error", 54, 2},   {"drop_mangled", 56, 2}, {"fix_valid", 58, 2},
        {"non_aprs", 60, 2},   {"call_rate_limit", 62, 2}, {"run_mode", 64, 2}};
    for (const auto& f : flags) line(out, f.name, std::to_string(r.u16(f.at)));
    line(out, "implicit_action", std::to_string(r.u16(66)) + character_of(r.u16(66)));
    line(out, "rule_count", std::to_string(r.u16(68)));
}

void describe_digi_path(std::string& out, const record_bytes& r) {
    constexpr std::size_t at = 70, slots = 8, width = 8;
    std::size_t used = 0;
    for (std::size_t s = 0; s < slots; ++s)
        if (!r.zero(at + s * width, width)) used = s + 1;
    std::string value;
    for (std::size_t s = 0; s < used; ++s) value += (s ? " " : "") + text_field(r, at + s * width, width);
    line(out, "digi_path", value.empty() ? "(none)" : value);
}

std::string edit_flags_text(unsigned f) {
    std::string t = (f & 3) == 1 ? "sub" : (f & 3) == 2 ? "del" : "type?";
    if (f & 0x20) t += " any";
    else if (f & 0x10) t += " prefix";
    if (f & 0x40) t += " ssid";
    return t;
}

void describe_path_edits(std::string& out, const record_bytes& r) {
    const unsigned subst = r.u16(188), del = r.u16(190);
    line(out, "subst_count", std::to_string(subst));
    line(out, "delete_count", std::to_string(del));
    for (unsigned e = 0; e < subst + del && e < 16; ++e) {
        const std::size_t at = 192 + e * 12;
        const unsigned f = r.byte(at + 11);
        line(out, "path_edit " + std::to_string(e + 1) + ":",
             edit_flags_text(f) + " (" + hex(f, 2) + ") call " + text_field(r, at, 7) + " ssid " +
                 std::to_string(r.byte(at + 7) / 2) + " match " + std::to_string(r.byte(at + 8)) + " action " +
                 std::to_string(r.byte(at + 9)) + " subst " + std::to_string(r.byte(at + 10)));
    }
    for (unsigned s = 0; s < subst && s < 8; ++s) {
        const std::size_t at = 384 + s * 65;
        const unsigned count = r.byte(at + 64);
        std::string digis;
        for (unsigned d = 0; d < count && d < 8; ++d)
            digis += " " + text_field(r, at + d * 8, 7) + "/" + hex(r.byte(at + d * 8 + 7), 2);
        line(out, "subst_list " + std::to_string(s) + ":", std::to_string(count) + " digis" + digis);
    }
}

void describe_conf(std::string& out, const std::string& conf) {
    out += "conf: " + std::to_string(conf.size()) + " bytes\n";
    if (conf.size() != conf_record_size) {
        out += "(not a configuration record of " + std::to_string(conf_record_size) + " bytes: not decoded)\n";
        return;
    }
    const record_bytes r(conf);
    describe_scalars(out, r);
    describe_digi_path(out, r);
    line(out, "beacon_comment", text_field(r, 134, 44));
    line(out, "control_call", text_field(r, 178, 10));
    describe_path_edits(out, r);
}

const char* const compass_names[] = {"Error", "N", "NE", "E", "SE", "S", "SW", "W", "NW"};

std::string flags_text(unsigned f) {
    const unsigned action = f & 0x0F;
    std::string t = action == 4 ? "drop" : action == 8 ? "pass" : "action?";
    if (f & 0x20) t += " any";
    else if (f & 0x10) t += " prefix";
    if (f & 0x40) t += " ssid";
    if (f & 0x80) t += " bit7";
    return t;
}

// The cells a rule type leaves unused must be zero; which bytes of the record those are.
struct rule_layout {
    const char* name;
    std::size_t used_until[4];  // per cell: bytes from the cell's start that carry a value
};

const rule_layout* layout_of(unsigned command) {
    static const rule_layout layouts[] = {
        {"destin", {6, 1, 0, 0}}, {"source", {6, 1, 0, 0}},    {"circle", {4, 4, 4, 0}}, {"compass", {1, 4, 4, 0}},
        {"rectangle", {4, 4, 4, 4}}, {"sector", {4, 4, 4, 4}}, {"digi", {6, 1, 1, 0}}};
    if (command < 53 || command > 59) return nullptr;
    return &layouts[command - 53];
}

std::string rule_arguments(const record_bytes& r, unsigned command) {
    const auto f = [&](std::size_t at) { return number(r.f32(at)); };
    switch (command) {
    case 53:
    case 54: return "call " + text_field(r, 0, 6) + " ssid " + std::to_string(r.byte(6));
    case 55: return "radius " + f(0) + " latitude " + f(6) + " longitude " + f(12);
    case 56: {
        const unsigned d = r.byte(0);
        return "direction " + std::to_string(d) + " " + compass_names[d <= 8 ? d : 0] + " latitude " + f(6) +
               " longitude " + f(12);
    }
    case 57: return "latitude1 " + f(0) + " longitude1 " + f(6) + " latitude2 " + f(12) + " longitude2 " + f(18);
    case 58: return "angle1 " + f(0) + " angle2 " + f(6) + " inner " + f(12) + " outer " + f(18);
    case 59:
        return "call " + text_field(r, 0, 6) + " ssid " + std::to_string(r.byte(6)) + " index " +
               std::to_string(r.byte(12));
    }
    return "";
}

bool unused_bytes_zero(const record_bytes& r, const rule_layout& layout) {
    for (std::size_t cell = 0; cell < 4; ++cell) {
        const std::size_t used = layout.used_until[cell];
        if (!r.zero(cell * 6 + used, 6 - used)) return false;
    }
    return true;
}

void describe_rule(std::string& out, std::size_t index, std::string_view bytes) {
    const record_bytes r(bytes);
    const unsigned command = r.byte(24), flags = r.byte(25);
    std::string text = "rule " + std::to_string(index + 1) + ": line " + std::to_string(r.s16(26)) + " command " +
                       std::to_string(command);
    const rule_layout* layout = layout_of(command);
    text += layout ? std::string(" ") + layout->name : " unknown";
    text += " flags " + hex(flags, 2) + " " + flags_text(flags);
    if (layout) {
        text += " " + rule_arguments(r, command);
        if (!unused_bytes_zero(r, *layout)) text += " (unused bytes not zero)";
    } else {
        text += " bytes " + quoted(bytes.substr(0, 24));
    }
    out += text + "\n";
}

void describe_rules(std::string& out, const std::string& rules) {
    const std::size_t whole = rules.size() / rule_record_size;
    out += "rules: " + std::to_string(rules.size()) + " bytes, " + std::to_string(whole) + " records";
    if (rules.size() % rule_record_size != 0)
        out += ", " + std::to_string(rules.size() % rule_record_size) + " bytes left over";
    out += "\n";
    for (std::size_t i = 0; i < whole; ++i)
        describe_rule(out, i, std::string_view(rules).substr(i * rule_record_size, rule_record_size));
}

}  // namespace

std::string describe_download(const std::optional<std::string>& conf, const std::optional<std::string>& rules) {
    std::string out;
    if (conf) describe_conf(out, *conf);
    else out += "conf: not received\n";
    if (rules) describe_rules(out, *rules);
    else out += "rules: not received\n";
    return out;
}

long conf_rule_count(const std::string& conf) {
    if (conf.size() != conf_record_size) return -1;
    return record_bytes(conf).u16(68);
}

}  // namespace zuvsim
