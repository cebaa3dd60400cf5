#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/console.h"
#include "core/output.h"
#include "serial/port_list.h"
#include "serial/port_trace.h"
#include "shell/file_check.h"
#include "shell/line_editor.h"
#include "shell/options.h"
#include "shell/shell.h"
#include "shell/state.h"

namespace {

struct closed_file {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};
using file_handle = std::unique_ptr<std::FILE, closed_file>;

// The console, with line editing where both ends are a terminal, and with
// the port's events in the trace file when one was asked for.
int run_console(const zuv::start_request& request, zuv::output& out, zuv::output& err) {
    file_handle trace_file;
    if (!request.trace_file.empty()) {
        trace_file.reset(std::fopen(request.trace_file.c_str(), "w"));
        if (!trace_file) {
            err.print("zuvdigi: cannot write the trace file %s: %s\n", request.trace_file.c_str(),
                      std::strerror(errno));
            return 2;
        }
        // Each event reaches the file at once, so a killed run keeps its trace.
        std::setvbuf(trace_file.get(), nullptr, _IONBF, 0);
    }
    zuv::file_output trace_out(trace_file.get());
    std::unique_ptr<zuv::port_trace> trace;
    if (trace_file) trace = std::make_unique<zuv::port_trace>(trace_out);

    zuv::stdio_console plain(stdin, out);
    const std::unique_ptr<zuv::console_input> editor = zuv::make_line_editor(stdin, stdout, out);
    zuv::app_state st(editor ? *editor : plain, out, err);
    st.link.trace = trace.get();
    return zuv::run_shell(st);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    zuv::file_output out(stdout);
    zuv::file_output err(stderr);
    const zuv::start_request request = zuv::parse_command_line(argc, argv, out, err);
    switch (request.action) {
    case zuv::start_action::done:
        return request.status;
    case zuv::start_action::check:
        return zuv::check_files(request.check_items, out);
    case zuv::start_action::list_ports:
        zuv::list_ports(out);
        return 0;
    case zuv::start_action::console:
        break;
    }
    return run_console(request, out, err);
}
