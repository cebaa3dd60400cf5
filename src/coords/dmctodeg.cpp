#include "coords/dmctodeg.h"

#include <cstdlib>
#include <string>

#include "core/args.h"
#include "core/output.h"
#include "core/visible.h"

namespace zuv {

namespace {

struct char_counts {
    int minus = 0;
    int colons = 0;
    int periods = 0;
    int letters = 0;
};

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char_counts count_chars(std::string_view text) {
    char_counts n;
    for (char c : text) {
        n.minus += c == '-';
        n.colons += c == ':';
        n.periods += c == '.';
        n.letters += is_letter(c);
    }
    return n;
}

// The C library's atof over text that need not be NUL-terminated.
float decimal_float(std::string_view text) {
    const std::string copy(text);
    return static_cast<float>(std::strtod(copy.c_str(), nullptr));
}

// Whether a number's text starts, after blanks and tabs, with a minus sign:
// a zero written as -0 still marks a south or west angle.
bool written_negative(std::string_view text) {
    const std::size_t i = text.find_first_not_of(" \t");
    return i != std::string_view::npos && text[i] == '-';
}

struct angle_parts {
    float deg = 0, min = 0, sec = 0;
    bool deg_negative_text = false;
    bool south_west = false;
};

enum class scan_result { ok, failed };

scan_result pointer_mismatch(output& out) {
    out.put("\a\aInternal Error: pointer mismatch\n");
    return scan_result::failed;
}

// Colon and Dotted: the same fixed-position scan with another separator.
// Colon reads whole minutes and then the seconds; Dotted reads the minutes
// with their fraction across the second period.
scan_result scan_fixed(output& out, std::string_view text, char separator, angle_parts& a) {
    std::size_t field = 0;
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') return field == i ? scan_result::ok : pointer_mismatch(out);
        if (c != separator) continue;
        if (++seen == 1) {
            a.deg = static_cast<float>(decimal_int(text));
            a.deg_negative_text = written_negative(text.substr(0, i));
            field = i + 1;
            continue;
        }
        const std::string_view minutes = text.substr(field);
        if (separator == ':') {
            a.min = static_cast<float>(decimal_int(minutes));
            a.sec = decimal_float(text.substr(i + 1));
        } else {
            a.min = decimal_float(minutes);
        }
        return scan_result::ok;
    }
    return scan_result::ok;
}

scan_result already_have(output& out, const char* what, float value) {
    out.print("\a\aError: DMC format: already have %s (%f)\n", what, static_cast<double>(value));
    return scan_result::failed;
}

scan_result scan_dmc(output& out, std::string_view text, angle_parts& a) {
    bool have_deg = false, have_min = false, have_sec = false;
    std::size_t field = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] != '\n'; ++i) {
        const char c = text[i];
        const std::string_view number = text.substr(field, i - field);
        switch (c) {
        case '0': case '1': case '2': case '3': case '4':
        case '5': case '6': case '7': case '8': case '9':
        case ' ': case '\t': case '+': case '-': case '.':
            break;
        case 'D': case 'd':
            if (have_deg) return already_have(out, "degrees", a.deg);
            // The whole degrees text is converted, however long it is.
            a.deg = decimal_float(number);
            a.deg_negative_text = written_negative(number);
            have_deg = true;
            field = i + 1;
            break;
        case 'M': case 'm':
            if (have_min) return already_have(out, "minutes", a.min);
            a.min = decimal_float(number);
            have_min = true;
            field = i + 1;
            break;
        case 'C': case 'c':
            if (have_sec) return already_have(out, "seconds", a.sec);
            a.sec = decimal_float(number);
            have_sec = true;
            field = i + 1;
            break;
        case 'N': case 'n': case 'E': case 'e': case 'S': case 's': case 'W': case 'w':
            field = i + 1;
            break;
        default:
            out.print("\a\aError: DMC format: invalid char: %s (0x%02x)\n",
                      visible(out, std::string_view(&c, 1)).c_str(),
                      static_cast<unsigned>(static_cast<unsigned char>(c)));
            return scan_result::failed;
        }
    }
    return field == i ? scan_result::ok : pointer_mismatch(out);
}

// Picks the DMC direction letters and checks them against each other and
// against a minus sign.
scan_result check_dmc_directions(output& out, std::string_view text, int minus, angle_parts& a) {
    const std::size_t ne_at = text.find_first_of("NnEe");
    const std::size_t sw_at = text.find_first_of("SsWw");
    const bool has_ne = ne_at != std::string_view::npos;
    const bool has_sw = sw_at != std::string_view::npos;
    if (minus > 0 && (has_ne || has_sw)) {
        out.print("\a\aError: DMC format: both minus (-) and direction char %c cannot be specified\n",
                  has_ne ? text[ne_at] : text[sw_at]);
        return scan_result::failed;
    }
    if (has_ne && has_sw) {
        out.print("\a\aError: DMC format: both direction chars %c and %c cannot be specified\n", text[ne_at],
                  text[sw_at]);
        return scan_result::failed;
    }
    a.south_west = has_sw;
    return scan_result::ok;
}

scan_result parse_colon(output& out, std::string_view text, const char_counts& n, angle_parts& a) {
    if (n.colons != 2) {
        out.put("\a\aError: Colon format: must have 2 colons: [s][D]DD:MM:SS[.F*]\n");
        return scan_result::failed;
    }
    if (n.periods > 1) {
        out.put("\a\aError: Colon format: too many periods: [s][D]DD:MM:SS[.F*]\n");
        return scan_result::failed;
    }
    if (n.letters > 0) {
        out.put("\a\aError: Colon format: has alpha characters: [s][D]DD:MM:SS[.F*]\n");
        return scan_result::failed;
    }
    return scan_fixed(out, text, ':', a);
}

scan_result parse_dmc(output& out, std::string_view text, const char_counts& n, angle_parts& a) {
    if (text.find_first_of("DdMmCc") == std::string_view::npos) {
        out.put("\a\aError: DMC format must have at least one of [DdMmCc] identifiers\n"
                "\tor Dotted format: found illegal character: [s][D]DD.MM.[F*]\n");
        return scan_result::failed;
    }
    if (check_dmc_directions(out, text, n.minus, a) == scan_result::failed) return scan_result::failed;
    return scan_dmc(out, text, a);
}

scan_result parse_dotted(output& out, std::string_view text, const char_counts& n, angle_parts& a) {
    if (n.periods == 0) {
        out.put("\a\aError: Unrecognized format: must be one of Dotted, Colon or DMC\n");
        return scan_result::failed;
    }
    if (n.periods != 2) {
        out.put("\a\aError: Dotted format: must have 2 periods: [s][D]DD.MM.[F*]\n"
                "\tor DMC format must have at least one of [DdMmCc] identifiers\n");
        return scan_result::failed;
    }
    return scan_fixed(out, text, '.', a);
}

bool within_minute(float v) { return v > -60.0f && v < 60.0f; }

}  // namespace

float dmctodeg(output& out, std::string_view inp) {
    inp = inp.substr(0, inp.find('\0'));
    if (inp.data() == nullptr || inp.empty()) {
        out.put("dmctodeg: Error: invalid param inp\n");
        return dmc_failure;
    }
    const char_counts n = count_chars(inp);
    if (n.minus > 1) {
        out.print("\a\aError: too man minus signs: %d: only one is allowed\n", n.minus);
        return dmc_failure;
    }

    angle_parts a;
    const scan_result parsed = n.colons > 0    ? parse_colon(out, inp, n, a)
                               : n.letters > 0 ? parse_dmc(out, inp, n, a)
                                               : parse_dotted(out, inp, n, a);
    if (parsed == scan_result::failed) return dmc_failure;

    if (!within_minute(a.sec)) {
        out.print("\a\aError: sec %f is out of range [0..59.99]\n", static_cast<double>(a.sec));
        return dmc_failure;
    }
    if (!within_minute(a.min)) {
        out.print("\a\aError: min %f is out of range [0..59.99]\n", static_cast<double>(a.min));
        return dmc_failure;
    }

    if (a.south_west) a.deg = -a.deg;
    const float fraction = static_cast<float>(static_cast<double>(a.sec) / 3600.0 + static_cast<double>(a.min) / 60.0);
    const bool negative = a.deg < 0.0f || (a.deg == 0.0f && (a.deg_negative_text || a.south_west));
    const float result = negative ? a.deg - fraction : a.deg + fraction;

    if (!(result >= -360.0f && result <= 360.0f)) {
        out.print("\a\aError: deg %f is out of range [-180..180]\n", static_cast<double>(result));
        return dmc_failure;
    }
    return result;
}

}  // namespace zuv
