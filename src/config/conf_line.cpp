#include "config/conf_line.h"

#include <algorithm>
#include <cstring>

namespace zuv {

void conf_line_begin(conf_line_context& ctx, std::string_view text) {
    text = text.substr(0, std::min(text.find('\0'), conf_line_max));
    std::memcpy(ctx.line_text, text.data(), text.size());
    ctx.line_text[text.size()] = '\0';
    std::memcpy(ctx.work, text.data(), text.size());
    ctx.work[text.size()] = '\0';
    ++ctx.line_number;
    const std::size_t at = text.find_first_of(comment_chars);
    ctx.comment_start = at == std::string_view::npos ? no_comment : static_cast<int>(at);
}

bool conf_after_comment(const conf_line_context& ctx, const char* token) {
    return ctx.comment_start != no_comment && token - ctx.work > ctx.comment_start;
}

char* next_token(char* text, std::string_view delims, char** rest) {
    if (text == nullptr) return nullptr;
    auto is_delim = [&](char c) { return c != '\0' && delims.find(c) != std::string_view::npos; };
    while (is_delim(*text)) ++text;
    if (*text == '\0') return nullptr;
    char* end = text;
    while (*end != '\0' && !is_delim(*end)) ++end;
    if (*end != '\0') *end++ = '\0';
    *rest = end;
    return text;
}

}  // namespace zuv
