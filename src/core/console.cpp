#include "core/console.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/interrupt.h"

namespace zuv {

namespace {

// A read the key broke off fails with an error rather than at the end of the
// input. On Windows the console's handler runs on a thread of its own and may
// mark the interrupt a moment after the read returned, so the mark is waited
// for a little before the failure counts as the end of the input.
void await_interrupt_mark(std::FILE* in) {
    if (in == nullptr || !std::ferror(in)) return;
    for (int i = 0; i < 20 && pending_interrupt() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

bool read_console_line(std::FILE* in, char* buf, std::size_t size) {
    if (size == 0) return false;
    buf[0] = '\0';
    const bool got = in != nullptr && std::fgets(buf, static_cast<int>(size), in) != nullptr;
    if (!got) await_interrupt_mark(in);
    // The key cuts the read short (the handler does not restart it), which
    // must not pass for an answer or for the end of input.
    throw_if_interrupted();
    if (!got) {
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
