// Any bytes as a configuration file: the reader must stop at a precise
// message or finish, and the displays must then show whatever the record
// holds, without reading or writing outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/conf_display.h"
#include "config/conf_reader.h"
#include "config/config_state.h"
#include "config/path_edit.h"
#include "core/output.h"

#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuv::fuzz::memory_file file(data, size);
    if (file.get() == nullptr) return 0;
    zuv::string_output out;
    zuv::config_state st(out);
    zuv::conf_load_defaults(st);
    const int rc = zuv::conf_process_stream(st, file.get(), "fuzz.cfg");
    if (rc == 0 && st.conf_processed != 1) std::abort();
    if (rc != 0 && out.text.empty()) std::abort();  // a refusal always says why
    if (st.digi_path_count < 0 || st.digi_path_count > 8) std::abort();
    zuv::conf_display(st);
    zuv::path_edit_display(st);
    return 0;
}
