// Any bytes as what a reader printed: --check must turn them into faults
// without reading past them, each fault one line, with a line number only
// where the text named a bounded one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shell/file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view printed(reinterpret_cast<const char*>(data), size);
    // The first line names the file, so that its name can be anything too.
    const std::size_t end = printed.find('\n');
    const std::string_view name = printed.substr(0, end == std::string_view::npos ? 0 : end);
    for (const zuv::reader_fault& fault : zuv::reader_faults(printed, name)) {
        if (fault.text.find('\n') != std::string::npos) std::abort();
        if (fault.line && (*fault.line > 9999999999LL || *fault.line < -9999999999LL)) std::abort();
    }
    return 0;
}
