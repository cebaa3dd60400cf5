#pragma once
// Everything the utility keeps for the length of a run lives in one app_state,
// created by main and passed on by reference, so every test starts fresh.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "config/conf_record.h"
#include "rules/rule_record.h"
#include "serial/port.h"
#include "shell/output.h"

namespace zuv {

inline constexpr std::size_t cmd_line_size = 256;
inline constexpr std::size_t reply_buf_size = 1024;

struct app_state {
    app_state(std::FILE* in_fp, output& out_sink, output& err_sink) : in(in_fp), out(out_sink), err(err_sink) {}
    app_state(const app_state&) = delete;
    app_state& operator=(const app_state&) = delete;

    std::FILE* in;  // the console: commands and answers to questions
    output& out;    // everything the operator sees
    output& err;    // the fatal serial-read messages only

    // Command shell
    char cmd_line[cmd_line_size]{};
    char prev_line[cmd_line_size]{};
    int connected = 0;
    char port_name[8]{};  // "COM1" to "COM20"

    // Serial port
    serial_port port{};

    // Device link: the device's last reply, with room for a terminator.
    std::uint8_t reply_buf[reply_buf_size + 1]{};

    // Configuration
    conf_record conf{};
    std::int32_t digi_path_count = 0;
    int conf_processed = 0;

    // Rules: the count and the implicit action live in conf
    rule_array rule_table{};
    int rules_processed = 0;
};

}  // namespace zuv
