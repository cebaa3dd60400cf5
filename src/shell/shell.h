#pragma once
// Start-up and the command loop.

#include <optional>

#include "core/args.h"
#include "core/keyword.h"

namespace zuv {

struct app_state;


// Banner, defaults, summary, then the command loop. Returns the exit status:
// 0 after exit, quit or x, 1 at the end of the console input, 128 + the
// signal after the interrupt key cut a device command short.
int run_shell(app_state& st);

// Shows the prompt and reads one console line into st.cmd_line (at most 255 characters; a longer
// line arrives in pieces). A CR LF ending is read as LF. False at the end of input.
bool read_command_line(app_state& st);

// Runs the action of a resolved command; args stand after the command word.
// The status the program ends with when the interrupt key cut a device
// command short, else nothing.
std::optional<int> dispatch_command(app_state& st, keyword_code code, arg_cursor& args);

}  // namespace zuv
