#pragma once
// What the configuration subsystem keeps for the length of a run.

#include <cstdint>

#include "config/conf_record.h"
#include "core/output.h"

namespace zuv {

struct config_state {
    explicit config_state(output& out_sink) : out(out_sink) {}
    config_state(const config_state&) = delete;
    config_state& operator=(const config_state&) = delete;

    output& out;  // the operator's console
    conf_record conf{};
    std::int32_t digi_path_count = 0;
    int conf_processed = 0;  // 1 once a file was read to its end without error
};

}  // namespace zuv
