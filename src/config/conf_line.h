#pragma once
// The configuration reader's view of the line being read. The reader fills it
// for every line; the path-edit code reads it for its messages and to tell
// where a comment begins.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text_lines.h"

namespace zuv {

// A line is read with at most 255 characters; the terminator makes 256.
inline constexpr std::size_t conf_line_size = text_line_size;
inline constexpr std::size_t conf_line_max = text_line_max;

inline constexpr int no_comment = -1;

struct conf_line_context {
    const char* file_name = "";
    int line_number = 0;  // 1 for the first line; every line counts, however many
    char line_text[conf_line_size]{};    // the line as read; ends every message
    char work[conf_line_size]{};         // the same line, cut into tokens in place
    int comment_start = no_comment;      // index in work of the first '#', '/' or ';'
};

// Makes text the current line: counts it, copies it into line_text and work
// and finds its first comment character. The line ends at its first NUL byte
// and at 255 characters, so both copies always hold their terminator.
void conf_line_begin(conf_line_context& ctx, std::string_view text);

// Whether token, a position in ctx.work, begins after the line's first
// comment character.
bool conf_after_comment(const conf_line_context& ctx, const char* token);

// Skips leading delimiters, cuts the token at the next delimiter by
// overwriting it with a zero byte and stores in *rest the position after it
// (the end of the text when the token ends it). Returns nullptr and leaves
// *rest alone when text is null or holds no token. Keeps no state, so each
// call continues from the rest stored by the one before.
char* next_token(char* text, std::string_view delims, char** rest);

}  // namespace zuv
