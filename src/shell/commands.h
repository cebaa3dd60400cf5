#pragma once
// The command table, its lookup and the command summary.

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "core/args.h"
#include "core/keyword.h"

namespace zuv {

struct app_state;

struct command_entry {
    int shown;  // 1: listed by the summary; 0: a hidden alias
    keyword_code code;
    const char* name;
    const char* arguments;
    const char* comment;
};

extern const std::array<command_entry, 18> command_table;

enum class lookup_status { found, unknown, ambiguous };

struct command_lookup {
    lookup_status status;
    const command_entry* entry;  // the match when found
};

// Case-insensitive prefix lookup in table order; a second match makes the
// word ambiguous.
command_lookup find_command(std::string_view word);

void cmd_summary(app_state& st);

}  // namespace zuv
