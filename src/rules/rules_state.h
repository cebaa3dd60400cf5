#pragma once
// What the rules subsystem keeps for the length of a run. The rule count and
// the implicit action are fields of the configuration record, so the rules
// reach into it.

#include "config/conf_record.h"
#include "core/output.h"
#include "rules/rule_record.h"

namespace zuv {

struct rules_state {
    rules_state(output& out_sink, conf_record& conf_image) : out(out_sink), conf(conf_image) {}
    rules_state(const rules_state&) = delete;
    rules_state& operator=(const rules_state&) = delete;

    output& out;        // the operator's console
    conf_record& conf;  // rule_count and implicit_action live here
    rule_array rule_table{};
    int rules_processed = 0;  // 1 once a file was read to its end without error
};

}  // namespace zuv
