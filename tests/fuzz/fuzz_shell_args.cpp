// Any bytes as the rest of a command line: tokens must stay inside the line
// and the argument checks must accept only what they promise.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/args.h"
#include "core/output.h"
#include "shell/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    zuv::string_output out;
    (void)zuv::find_command(line);
    zuv::arg_cursor cur(line);
    bool file_name_turn = false;
    while (auto token = file_name_turn ? cur.next_file_name() : cur.next_number()) {
        if (token->data() < line.data() || token->data() + token->size() > line.data() + line.size()) std::abort();
        if (token->empty()) std::abort();
        if (auto port = zuv::port_arg(out, *token); port && (*port < 1 || *port > 20)) std::abort();
        if (auto rate = zuv::rate_arg(out, *token); rate && *rate != 4800 && *rate != 9600 && *rate != 19200 &&
                                                   *rate != 38400 && *rate != 57600)
            std::abort();
        file_name_turn = !file_name_turn;
    }
    return 0;
}
