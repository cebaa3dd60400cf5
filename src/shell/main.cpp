#include <cstdio>

#include "core/output.h"
#include "shell/shell.h"
#include "shell/state.h"

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    zuv::file_output out(stdout);
    zuv::file_output err(stderr);
    zuv::app_state st(stdin, out, err);
    return zuv::run_shell(st);
}
