#pragma once
// Everything the utility keeps for the length of a run lives in one app_state,
// created by main and passed on by reference, so every test starts fresh. It
// composes the state of each subsystem; the subsystems see only their own.

#include <cstddef>
#include "config/config_state.h"
#include "core/console.h"
#include "core/output.h"
#include "firmware/firmware_state.h"
#include "link/link_state.h"
#include "rules/rules_state.h"

namespace zuv {

inline constexpr std::size_t cmd_line_size = 256;

struct app_state {
    app_state(console_input& console, output& out_sink, output& err_sink)
        : in(console), out(out_sink), err(err_sink), config(out_sink), rules(out_sink, config.conf),
          link(console, out_sink, err_sink) {}
    app_state(const app_state&) = delete;
    app_state& operator=(const app_state&) = delete;

    console_input& in;  // the console: commands and answers to questions
    output& out;    // everything the operator sees
    output& err;    // the fatal serial-read messages only

    // Command shell
    char cmd_line[cmd_line_size]{};
    char prev_line[cmd_line_size]{};

    config_state config;
    rules_state rules;
    link_state link;
    firmware_state firmware;
};

}  // namespace zuv
