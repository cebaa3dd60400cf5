// Any bytes as an angle text: the parser must either return a value within
// its range or fail with exactly one message, and never read past the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "coords/dmctodeg.h"
#include "core/output.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zuv::string_output out;
    const float deg = zuv::dmctodeg(out, std::string_view(reinterpret_cast<const char*>(data), size));
    const bool failed = deg == zuv::dmc_failure;
    if (failed == out.text.empty()) std::abort();  // one message exactly when it fails
    if (!failed && !(deg >= -360.0f && deg <= 360.0f)) std::abort();
    return 0;
}
