#include "core/visible.h"

namespace zuv {

namespace {

void append_shown(std::string& shown, unsigned char c) {
    static constexpr char hex[] = "0123456789ABCDEF";
    if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
        shown.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
        shown.push_back('^');
        shown.push_back(static_cast<char>(c + 0x40));
    } else if (c == 0x7F) {
        shown += "^?";
    } else {
        shown += "\\x";
        shown.push_back(hex[c >> 4]);
        shown.push_back(hex[c & 0x0F]);
    }
}

std::string shown_text(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) append_shown(shown, static_cast<unsigned char>(c));
    return shown;
}

}  // namespace

std::string visible(const output& out, std::string_view text) {
    const std::string_view until_nul = text.substr(0, text.find('\0'));
    if (!out.is_terminal()) return std::string(until_nul);
    return shown_text(until_nul);
}

void put_visible(output& out, std::string_view text) {
    if (!out.is_terminal()) {
        out.put(text);
        return;
    }
    out.put(shown_text(text));
}

}  // namespace zuv
