#pragma once
// The program's command line. Without arguments it is the console; the
// options only ever answer and end.

#include "core/output.h"

namespace zuv {

// What the command line asks for.
enum class start_action { console, done };

struct start_request {
    start_action action = start_action::console;
    int status = 0;  // the exit status when action is done
};

// Parses argv: --help and --version print to out and end with 0; anything
// else that is not understood prints its reason and the usage to err and
// ends with 2.
start_request parse_command_line(int argc, const char* const* argv, output& out, output& err);

}  // namespace zuv
