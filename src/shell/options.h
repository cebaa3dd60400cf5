#pragma once
// The program's command line. Without arguments it is the console; --trace
// keeps the console and records the port; the other options answer and end.

#include <string>
#include <vector>

#include "core/output.h"
#include "shell/file_check.h"

namespace zuv {

// What the command line asks for.
enum class start_action { console, check, list_ports, done };

struct start_request {
    start_action action = start_action::console;
    int status = 0;                       // the exit status when action is done
    std::string trace_file;               // console: where every port event goes; empty for none
    std::vector<check_item> check_items;  // check: the files, in the order given
};

// Parses argv: --help and --version print to out and end with 0; anything
// else that is not understood prints its reason and the usage to err and
// ends with 2.
start_request parse_command_line(int argc, const char* const* argv, output& out, output& err);

}  // namespace zuv
