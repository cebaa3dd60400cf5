#pragma once
// A record of everything that happens on the port, for the one who has to
// find out why a link misbehaves: each open, close and purge, and each write
// and read with its bytes in hex and as text, stamped with the time since the
// trace began on a monotonic clock. Every event is one line, written whole
// the moment it happens, so a trace cut short by a crash or a kill still
// holds everything up to its end.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "core/output.h"

namespace zuv {

class port_trace {
public:
    // sink must pass each write on at once (an unbuffered file).
    explicit port_trace(output& sink);
    port_trace(const port_trace&) = delete;
    port_trace& operator=(const port_trace&) = delete;

    // error_text: the system's reason when result is a failure, else null.
    void opened(const char* port, long rate, int result, const char* error_text);
    void closed();
    void purged();
    void purged_input();
    // sent: the bytes the system took, which are the ones shown.
    void wrote(const char* port, std::span<const std::uint8_t> sent, int len, int result, const char* error_text);
    void read(const char* port, std::span<const std::uint8_t> got, int size, int timeout_ms);
    void read_failed(const char* port, const char* error_text);

private:
    void event(const std::string& text);

    output& sink_;
    std::chrono::steady_clock::time_point start_;
};

// " | 03 0a | "\x03\n"": the bytes in hex and as a C string.
std::string trace_bytes(std::span<const std::uint8_t> bytes);

}  // namespace zuv
