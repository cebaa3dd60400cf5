#include "core/console.h"

#include <algorithm>
#include <cstring>

namespace zuv {

bool read_console_line(std::FILE* in, char* buf, std::size_t size) {
    if (size == 0) return false;
    buf[0] = '\0';
    if (in == nullptr || std::fgets(buf, static_cast<int>(size), in) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    const std::size_t len = std::strlen(buf);
    if (len >= 2 && buf[len - 2] == '\r' && buf[len - 1] == '\n') {
        buf[len - 2] = '\n';
        buf[len - 1] = '\0';
    }
    return true;
}

bool stdio_console::read_line(std::string_view prompt, char* buf, std::size_t size, input_kind) {
    out_.put(prompt);
    return read_console_line(in_, buf, size);
}

void pending_line::set(std::string_view line) {
    text_.assign(line);
    text_.push_back('\n');
    next_ = 0;
}

bool pending_line::take(char* buf, std::size_t size) {
    if (size == 0) return false;
    buf[0] = '\0';
    if (empty()) return false;
    const std::size_t n = std::min(size - 1, text_.size() - next_);
    std::memcpy(buf, text_.data() + next_, n);
    buf[n] = '\0';
    next_ += n;
    return true;
}

}  // namespace zuv
