#include <cstdio>

#include "core/output.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "shell/state.h"

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    zuv::file_output out(stdout);
    zuv::file_output err(stderr);
    const zuv::start_request request = zuv::parse_command_line(argc, argv, out, err);
    if (request.action == zuv::start_action::done) return request.status;
    zuv::app_state st(stdin, out, err);
    return zuv::run_shell(st);
}
