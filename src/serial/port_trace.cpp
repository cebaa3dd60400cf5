#include "serial/port_trace.h"

#include <cstdio>
#include <string>

namespace zuv {

namespace {

void append_hex(std::string& s, std::uint8_t b) {
    static constexpr char hex[] = "0123456789abcdef";
    s.push_back(hex[b >> 4]);
    s.push_back(hex[b & 0x0F]);
}

void append_text_char(std::string& s, std::uint8_t b) {
    switch (b) {
    case '\r': s += "\\r"; return;
    case '\n': s += "\\n"; return;
    case '\t': s += "\\t"; return;
    case '"': s += "\\\""; return;
    case '\\': s += "\\\\"; return;
    default: break;
    }
    if (b >= 0x20 && b < 0x7F) {
        s.push_back(static_cast<char>(b));
        return;
    }
    s += "\\x";
    append_hex(s, b);
}

// The system's reason, quoted; its own line ends would split the event.
std::string reason(const char* error_text) {
    if (error_text == nullptr) return {};
    std::string s = " error=\"";
    for (const char* p = error_text; *p != '\0'; ++p) append_text_char(s, static_cast<std::uint8_t>(*p));
    s += '"';
    return s;
}

// " name=value"
std::string field(const char* name, long value) { return std::string(" ") + name + "=" + std::to_string(value); }

}  // namespace

std::string trace_bytes(std::span<const std::uint8_t> bytes) {
    std::string s = " |";
    for (std::uint8_t b : bytes) {
        s.push_back(' ');
        append_hex(s, b);
    }
    s += " | \"";
    for (std::uint8_t b : bytes) append_text_char(s, b);
    s += '"';
    return s;
}

port_trace::port_trace(output& sink) : sink_(sink), start_(std::chrono::steady_clock::now()) {
    sink_.put("# zuvdigi port trace: seconds since the trace began (monotonic clock), event, port, details\n");
}

void port_trace::event(const std::string& text) {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - start_;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%11.6f ", since.count());
    sink_.put(stamp + text + "\n");
}

void port_trace::opened(const char* port, long rate, int result, const char* error_text) {
    event(std::string("open  ") + port + field("rate", rate) + field("result", result) +
          (result < 0 ? reason(error_text) : std::string()));
}

void port_trace::closed() { event("close"); }

void port_trace::purged() { event("purge"); }

void port_trace::purged_input() { event("purge input"); }

void port_trace::wrote(const char* port, std::span<const std::uint8_t> sent, int len, int result,
                       const char* error_text) {
    event(std::string("write ") + port +
          field("len", len) + field("sent", static_cast<long>(sent.size())) + field("result", result) +
          (result < 0 ? reason(error_text) : std::string()) + trace_bytes(sent));
}

void port_trace::read(const char* port, std::span<const std::uint8_t> got, int size, int timeout_ms) {
    event(std::string("read  ") + port +
          field("size", size) + field("timeout", timeout_ms) + field("got", static_cast<long>(got.size())) +
          (got.empty() ? std::string() : trace_bytes(got)));
}

void port_trace::read_failed(const char* port, const char* error_text) {
    event(std::string("read  ") + port + " failed" + reason(error_text));
}

}  // namespace zuv
