#include "core/output.h"

#include <cstdarg>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif
#include <vector>

namespace zuv {

void output::print(const char* fmt, ...) {
    char small[512];
    std::va_list args;
    va_start(args, fmt);
    std::va_list again;
    va_copy(again, args);
    const int len = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (len < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(len) < sizeof small) {
        write(small, static_cast<std::size_t>(len));
    } else {
        std::vector<char> big(static_cast<std::size_t>(len) + 1);
        std::vsnprintf(big.data(), big.size(), fmt, again);
        write(big.data(), static_cast<std::size_t>(len));
    }
    va_end(again);
}

namespace {
bool stream_is_terminal(std::FILE* fp) {
#if defined(_WIN32)
    return fp != nullptr && _isatty(_fileno(fp)) != 0;
#else
    return fp != nullptr && isatty(fileno(fp)) != 0;
#endif
}
}  // namespace

file_output::file_output(std::FILE* fp) : fp_(fp), terminal_(stream_is_terminal(fp)) {}

void file_output::write(const char* data, std::size_t len) {
    if (len != 0) std::fwrite(data, 1, len, fp_);
}

}  // namespace zuv
