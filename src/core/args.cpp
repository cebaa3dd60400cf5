#include "core/args.h"

#include <climits>

#include "core/keyword.h"
#include "core/output.h"

namespace zuv {

std::optional<std::string_view> arg_cursor::next(std::string_view separators) {
    while (pos_ < line_.size() && separators.find(line_[pos_]) != std::string_view::npos) ++pos_;
    if (pos_ >= line_.size()) return std::nullopt;
    const std::size_t start = pos_;
    while (pos_ < line_.size() && separators.find(line_[pos_]) == std::string_view::npos) ++pos_;
    const std::string_view token = line_.substr(start, pos_ - start);
    if (pos_ < line_.size()) ++pos_;  // the separator that ended the token
    return token;
}

namespace {
bool is_c_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

long decimal_value(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (!negative && value > (LONG_MAX - digit) / 10) return LONG_MAX;
        if (negative && value < (LONG_MIN + digit) / 10) return LONG_MIN;
        value = negative ? value * 10 - digit : value * 10 + digit;
    }
    return value;
}

int decimal_int(std::string_view text) {
    const long v = decimal_value(text);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::optional<int> port_arg(output& out, std::string_view token) {
    int port = decimal_int(token);
    if (port == 0 && keyword_prefix_match("com", token))
        port = decimal_int(token.substr(3));
    if (port < 1 || port > 20) {
        out.print("\a\aError: invalid COM port number (1..20): %.*s\n", static_cast<int>(token.size()),
                     token.data());
        return std::nullopt;
    }
    return port;
}

std::optional<long> rate_arg(output& out, std::string_view token) {
    const long rate = decimal_value(token);
    for (long valid : valid_bauds)
        if (rate == valid) return rate;
    out.print("\a\aError: invalid baud rate: %d\n", decimal_int(token));
    return std::nullopt;
}

}  // namespace zuv
