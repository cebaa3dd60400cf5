// Any bytes as a rules file: at most 30 rules are stored, a refusal always
// says why, and the display shows any table the reader leaves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/config_state.h"
#include "core/output.h"
#include "rules/rules_display.h"
#include "rules/rules_reader.h"
#include "rules/rules_state.h"

#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuv::fuzz::memory_file file(data, size);
    if (file.get() == nullptr) return 0;
    zuv::string_output out;
    zuv::config_state config(out);
    zuv::conf_load_defaults(config);
    zuv::rules_state st(out, config.conf);
    const int rc = zuv::rules_read(st, file.get(), "fuzz.rules");
    const auto count = st.conf.get(zuv::conf_field::rule_count);
    if (count > 30) std::abort();
    if (rc == 0 && st.rules_processed != 1) std::abort();
    if (rc != 0 && (out.text.empty() || count != 0)) std::abort();
    zuv::rules_display(st);
    return 0;
}
