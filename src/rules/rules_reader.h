#pragma once
// Reading a rules file into the rule table and the action of the implicit rule.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/keyword.h"
#include "core/text_lines.h"
#include "rules/rule_record.h"

namespace zuv {

struct rules_state;
class arg_cursor;

struct rule_action_entry {
    const char* text;
    std::uint8_t value;  // action_drop, action_pass or action_implicit
};

// The words that may open a rule line.
extern const std::array<rule_action_entry, 3> rule_action_table;
// The second word of a rule line: the implicit-rule keywords, then the rule kinds.
extern const std::array<keyword_entry, 12> rule_keyword_table;

// One read of a rules-file line: at most 255 characters; a longer line is
// read in pieces, each a line of its own.
inline constexpr std::size_t rule_line_size = text_line_size;

// The failure codes that do not belong to one argument of one rule kind.
inline constexpr int rules_no_file_name = -1;
inline constexpr int rules_cannot_open = -2;
inline constexpr int rules_bad_action = -3;
inline constexpr int rules_cannot_read = -4;
inline constexpr int rules_missing_command = -5;
inline constexpr int rules_limit_exceeded = -6;
inline constexpr int rules_bad_keyword = -7;
inline constexpr int rules_duplicate = -71;
inline constexpr int rules_missing_arguments = -72;

// Reads the named file: 0 when every line was accepted, else the negative
// code of the first failure, after its message.
int rules_process(rules_state& st, const char* rfp);

// The same over a stream that is already open (left open); file_name is used
// in the messages only.
int rules_read(rules_state& st, std::FILE* fp, std::string_view file_name);

// The line of the first of the first count records of the table whose
// arguments, command and flags equal those of rep; 0 when there is none.
int check_rule_dupe(rules_state& st, int count, const rule_record* rep);

// The index of that record, or -1.
int find_rule_dupe(const rule_array& table, int count, const rule_record& rep);

// The rules command: rules file_name.
void rules_command(rules_state& st, arg_cursor& args);

}  // namespace zuv
