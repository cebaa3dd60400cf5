#pragma once
// The rules reader's view of the line being read, shared by the line loop and
// the argument readers of the rule kinds.

#include <optional>
#include <string_view>

#include "core/args.h"
#include "core/text_lines.h"
#include "rules/rule_record.h"

namespace zuv {

struct rules_state;

// The separator sets: with a blank for words and numbers, without one for
// angles (which may hold blanks), and with the comment characters for the
// argument that a comment may follow directly.
inline constexpr std::string_view word_separators = " \t,";
inline constexpr std::string_view last_word_separators = "#/; \t,";
inline constexpr std::string_view angle_separators = "\t,";
inline constexpr std::string_view last_angle_separators = "#/;\t,";

struct rule_line {
    rules_state& st;
    std::string_view file_name;
    int number;                // counted from 1
    std::string_view text;     // as read, without its line ending
    std::size_t comment_at;    // first of "#/;" in text, or npos
    arg_cursor cursor;

    rule_line(rules_state& state, std::string_view name, int line_number, std::string_view line_text);
};

// "\a\aError: FILE[LINE]: ", then the caller's text, then ":\n" and the line.
void line_error_head(const rule_line& ln);
int line_error_tail(const rule_line& ln, int code);
int line_error(const rule_line& ln, const char* text, int code);

// Reads and stores the arguments of a rule of kind command (53 to 59) into
// rec, whose flags, command and line are already set. 0, or the code of the
// first failure after its message.
int read_rule_arguments(rule_line& ln, int command, rule_record& rec);

}  // namespace zuv
