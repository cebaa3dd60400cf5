#include "script.h"

#include <charconv>
#include <functional>

namespace zuvsim {

namespace {

using action_parser = std::function<std::optional<scripted_reply>(std::string_view)>;

std::optional<long> whole_number(std::string_view text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<unsigned char> hex_byte(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 2 || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return static_cast<unsigned char>(value);
}

scripted_reply byte_reply(unsigned char byte, int arrivals) {
    return {scripted_reply::action::send_byte, byte, {}, arrivals};
}

// HH, or HHHH...: the first byte and what follows it.
std::optional<scripted_reply> bytes_reply(std::string_view pairs) {
    if (pairs.empty() || pairs.size() % 2 != 0 || pairs.size() > 32) return std::nullopt;
    const auto first = hex_byte(pairs.substr(0, 2));
    if (!first) return std::nullopt;
    scripted_reply r = byte_reply(*first, 0);
    for (std::size_t i = 2; i < pairs.size(); i += 2) {
        const auto b = hex_byte(pairs.substr(i, 2));
        if (!b) return std::nullopt;
        r.extra.push_back(static_cast<char>(*b));
    }
    return r;
}

std::optional<scripted_reply> shared_action(std::string_view a) {
    if (a == "silent") return scripted_reply{scripted_reply::action::silent, 0, {}, 0};
    if (a == "hangup") return scripted_reply{scripted_reply::action::hang_up, 0, {}, 0};
    return std::nullopt;
}

std::optional<scripted_reply> download_action(std::string_view a) {
    if (auto shared = shared_action(a)) return shared;
    if (a == "nul") return byte_reply(0x00, 0);
    if (a.substr(0, 5) == "byte=") return bytes_reply(a.substr(5));
    if (a.substr(0, 3) == "nak") {
        const auto n = whole_number(a.substr(3));
        if (n && *n >= 1 && *n <= 1000000) return byte_reply(0x15, static_cast<int>(*n));
    }
    return std::nullopt;
}

std::optional<scripted_reply> loader_action(std::string_view a) {
    if (auto shared = shared_action(a)) return shared;
    const auto b = hex_byte(a.substr(0, 2));
    if (!b) return std::nullopt;
    if (a.size() == 2) return byte_reply(*b, 0);
    if (a[2] != 'x') return bytes_reply(a);
    const auto n = whole_number(a.substr(3));
    if (n && *n >= 1 && *n <= 1000000) return byte_reply(*b, static_cast<int>(*n));
    return std::nullopt;
}

std::optional<reply_script> parse_script(std::string_view text, const action_parser& parse_action,
                                         std::string& error) {
    reply_script script;
    for (bool more = true; more;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        more = comma != std::string_view::npos;
        if (more) text.remove_prefix(comma + 1);
        const std::size_t colon = item.find(':');
        const auto number = whole_number(item.substr(0, colon));
        if (colon == std::string_view::npos || !number || *number < 1) {
            error = "'" + std::string(item) + "' does not start with a number from 1 and ':'";
            return std::nullopt;
        }
        const auto reply = parse_action(item.substr(colon + 1));
        if (!reply) {
            error = "unknown action in '" + std::string(item) + "'";
            return std::nullopt;
        }
        if (!script.emplace(*number, *reply).second) {
            error = "two actions for " + std::to_string(*number);
            return std::nullopt;
        }
    }
    return script;
}

}  // namespace

const scripted_reply* script_reply(const reply_script& script, long number, int arrival) {
    const auto it = script.find(number);
    if (it == script.end()) return nullptr;
    if (it->second.arrivals != 0 && arrival > it->second.arrivals) return nullptr;
    return &it->second;
}

std::optional<reply_script> parse_download_script(std::string_view text, std::string& error) {
    return parse_script(text, download_action, error);
}

std::optional<reply_script> parse_loader_script(std::string_view text, std::string& error) {
    return parse_script(text, loader_action, error);
}

}  // namespace zuvsim
