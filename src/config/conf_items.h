#pragma once
// What each configuration keyword does with the rest of its line.

#include "config/conf_line.h"
#include "core/keyword.h"

namespace zuv {

struct config_state;

// Handles one line whose keyword is row; rest is the line after the keyword
// and its delimiter, inside ctx.work. 0, or -8 or -11 after one message.
int conf_item(config_state& st, conf_line_context& ctx, const keyword_entry& row, char* rest);

}  // namespace zuv
