#include "rules/rules_display.h"

#include <algorithm>
#include <cstdio>

#include "core/visible.h"
#include "rules/rule_record.h"
#include "rules/rules_reader.h"
#include "rules/rules_state.h"

namespace zuv {

namespace {

// Room for any float in any of the formats below, so a radius or range too
// large for the usual column widens the line instead of being cut.
constexpr std::size_t arg_text_size = 64;

struct arg_texts {
    char a[arg_text_size]{};
    char b[arg_text_size]{};
    char c[arg_text_size]{};
    char d[arg_text_size]{};
};

double as_double(const rule_record& r, field_at<float> f) { return static_cast<double>(r.get(f)); }

void callsign_text(const rule_record& r, char (&out)[arg_text_size]) {
    const std::uint8_t flags = r.get(rule_field::flags);
    const std::string_view call = r.callsign();
    const int len = static_cast<int>(call.size());
    if ((flags & mod_any) != 0) {
        std::snprintf(out, sizeof out, "*");
    } else if ((flags & mod_prefix) != 0) {
        std::snprintf(out, sizeof out, "%-.*s*", len, call.data());
    } else if ((flags & mod_ssid) != 0) {
        std::snprintf(out, sizeof out, "%-.*s-%d", len, call.data(), r.get(rule_field::byte_2));
    } else {
        std::snprintf(out, sizeof out, "%-.*s", len, call.data());
    }
}

const char* compass_name(std::uint8_t code) { return compass_names[code < compass_names.size() ? code : 0]; }

arg_texts describe_arguments(const rule_record& r) {
    using namespace rule_field;
    arg_texts t;
    switch (r.get(command)) {
    case kw_destin:
    case kw_source:
        callsign_text(r, t.a);
        break;
    case kw_circle:
        std::snprintf(t.a, sizeof t.a, "%-.3f mi R,", as_double(r, float_1));
        std::snprintf(t.b, sizeof t.b, "%-10.6f D Lat,", as_double(r, float_2));
        std::snprintf(t.c, sizeof t.c, "%-11.5f D Lon", as_double(r, float_3));
        break;
    case kw_compass:
        std::snprintf(t.a, sizeof t.a, "%-2s Dir,", compass_name(r.get(byte_1)));
        std::snprintf(t.b, sizeof t.b, "%-10.6f D Lat,", as_double(r, float_2));
        std::snprintf(t.c, sizeof t.c, "%-11.5f D Lon", as_double(r, float_3));
        break;
    case kw_rectangle:
        std::snprintf(t.a, sizeof t.a, "%-10.6f D Lat1,", as_double(r, float_1));
        std::snprintf(t.b, sizeof t.b, "%-11.5f D Lon1,", as_double(r, float_2));
        std::snprintf(t.c, sizeof t.c, "%-10.6f D Lat2,", as_double(r, float_3));
        std::snprintf(t.d, sizeof t.d, "%-11.5f D Lon2", as_double(r, float_4));
        break;
    case kw_sector:
        std::snprintf(t.a, sizeof t.a, "%-.3f D Ang1,", as_double(r, float_1));
        std::snprintf(t.b, sizeof t.b, "%-.3f D Ang2,", as_double(r, float_2));
        std::snprintf(t.c, sizeof t.c, "%-.3f In R,", as_double(r, float_3));
        std::snprintf(t.d, sizeof t.d, "%-.3f Out R", as_double(r, float_4));
        break;
    case kw_digi: {
        const std::uint8_t index = r.get(byte_3);
        const char shown = index == 0 ? '*' : index <= 9 ? static_cast<char>('0' + index) : '?';
        std::snprintf(t.a, sizeof t.a, "%c,", shown);
        callsign_text(r, t.b);
        break;
    }
    default:
        break;
    }
    return t;
}

const char* action_word(std::uint8_t flags) {
    switch (flags & action_bits) {
    case action_pass: return "Pass";
    case action_drop: return "Drop";
    default: return "?";
    }
}

const char* implicit_word(std::uint16_t implicit_action) {
    return implicit_action == implicit_drop ? "Drop" : implicit_action == implicit_pass ? "Pass" : "?";
}

}  // namespace

const char* rule_keyword_name(int code) {
    for (const keyword_entry& row : rule_keyword_table)
        if (row.code == code) return row.text;
    return "?";
}

void rules_display(const rules_state& st) {
    const std::uint16_t implicit_action = st.conf.get(conf_field::implicit_action);
    // Only the rules reader sets the count, and never above the table size;
    // the bound keeps the display inside the table whatever the image holds.
    const std::size_t count = std::min<std::size_t>(st.conf.get(conf_field::rule_count), max_rules);
    if (count == 0) {
        st.out.print("No Rules are configured!  Implicit Rule Action is %s\n", implicit_word(implicit_action));
        return;
    }
    st.out.print("Rule count %d plus Implicit\n", static_cast<int>(count));
    st.out.print("\n#  %-6s %-s %-9s Arguments\n", "Action", "Mods", "Command");
    st.out.print("0  %-6s      %-9s\n", implicit_action == implicit_drop ? "Drop" : "Pass", "Implicit");
    for (std::size_t i = 0; i < count; ++i) {
        const rule_record& r = st.rule_table[i];
        const arg_texts t = describe_arguments(r);
        const std::uint8_t flags = r.get(rule_field::flags);
        st.out.print("%-2d %-6s  %02x  %-9s %s %s %s %s\n", static_cast<int>(i + 1), action_word(flags),
                     static_cast<unsigned>(flags & modifier_bits), rule_keyword_name(r.get(rule_field::command)),
                     visible(st.out, t.a).c_str(), visible(st.out, t.b).c_str(), visible(st.out, t.c).c_str(),
                     visible(st.out, t.d).c_str());
    }
}

}  // namespace zuv
