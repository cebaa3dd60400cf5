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

namespace {

int next_byte(conf_line_source& src) {
    if (src.pending_count > 0) {
        const int c = src.pending[0];
        src.pending[0] = src.pending[1];
        --src.pending_count;
        return c;
    }
    const int c = std::getc(src.fp);
    if (c == EOF && std::ferror(src.fp)) src.read_error = true;
    return c;
}

void push_back(conf_line_source& src, int c) {
    if (c != EOF) src.pending[src.pending_count++] = c;
}

// After a full piece: a line end that follows at once ends this piece.
// Returns whether it was a bare LF (a CR before it would be the piece's own
// last byte) or CR LF, or nothing.
enum class line_end { none, lf, cr_lf };

line_end take_line_end(conf_line_source& src) {
    const int c = next_byte(src);
    if (c == '\n') return line_end::lf;
    if (c == '\r') {
        const int after = next_byte(src);
        if (after == '\n') return line_end::cr_lf;
        push_back(src, c);
        push_back(src, after);
        return line_end::none;
    }
    push_back(src, c);
    return line_end::none;
}

}  // namespace

bool read_conf_piece(conf_line_source& src, char (&piece)[conf_line_size], std::size_t& len) {
    len = 0;
    bool ended_by_line_feed = false;
    while (len < conf_line_max) {
        const int c = next_byte(src);
        if (c == EOF) break;
        if (c == '\n') {
            ended_by_line_feed = true;
            break;
        }
        piece[len++] = static_cast<char>(c);
    }
    if (len == 0 && !ended_by_line_feed) return false;
    if (len == conf_line_max) ended_by_line_feed = take_line_end(src) == line_end::lf;
    if (ended_by_line_feed && len > 0 && piece[len - 1] == '\r') --len;
    piece[len] = '\0';
    return true;
}

}  // namespace zuv
