#include "serial/port.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "serial/baud.h"
#include "serial/port_common.h"

namespace zuv {

port_timeouts standing_timeouts(long rate) {
    port_timeouts t;
    if (rate <= 0) return t;
    t.read_interval = 0;
    t.read_multiplier = static_cast<std::uint32_t>(10000 / rate);
    t.read_constant = 1;
    t.write_multiplier = static_cast<std::uint32_t>(20000 / rate);
    t.write_constant = 10;
    return t;
}

port_timeouts read_timeouts(const port_timeouts& standing, int timeout_ms) {
    port_timeouts t = standing;
    if (timeout_ms > 0) t.read_constant = static_cast<std::uint32_t>(timeout_ms) + 10;
    return t;
}

std::uint64_t total_read_ms(const port_timeouts& t, int size) {
    const std::uint64_t n = size > 0 ? static_cast<std::uint64_t>(size) : 0;
    return t.read_multiplier * n + t.read_constant;
}

std::uint64_t total_write_ms(const port_timeouts& t, int len) {
    const std::uint64_t n = len > 0 ? static_cast<std::uint64_t>(len) : 0;
    return t.write_multiplier * n + t.write_constant;
}

bool open_port_args_ok(port_state& st, const char* port) {
    if (port != nullptr) return true;
    st.out.put("open_port: Error: port null argument\n");
    return false;
}

int set_comm_prop_args(port_state& st, const char* port, long rate, long& table_rate) {
    if (port == nullptr) {
        st.out.put("set_comm_prop: Error: port null argument\n");
        return -1;
    }
    const auto entry = get_baud(st.out, rate);
    if (!entry) {
        st.out.print("\a\aError: Invalid baud rate %ld\n", rate);
        return -2;
    }
    table_rate = *entry;
    return 0;
}

void check_read_args(port_state& st, const char* port, const std::uint8_t* buf, int size) {
    char message[128];
    if (port == nullptr) {
        std::snprintf(message, sizeof message, "read_port: Error: invalid param port\n");
    } else if (buf == nullptr) {
        std::snprintf(message, sizeof message, "read_port: Error: invalid param buf ptr\n");
    } else if (size <= 0) {
        // A negative size is as unusable as 0 and is refused the same way.
        std::snprintf(message, sizeof message, "read_port: Error: invalid param size: %d\n", size);
    } else {
        return;
    }
    fatal_exit(st, 25, message);
}

int write_port_args(port_state& st, const char* port, const std::uint8_t* buf, int len) {
    if (port == nullptr) {
        st.out.put("write_port: Error: invalid param file port\n");
        return -1;
    }
    if (buf == nullptr) {
        st.out.put("write_port: Error: invalid param buf ptr\n");
        return -2;
    }
    if (len <= 0) {
        st.out.print("write_port: Error: invalid param len: %d\n", len);
        return -1;
    }
    return 0;
}

void report_open_failure(port_state& st, const char* port) {
    st.out.print("\a\aError: cannot open COM port %s: %s\n", port, last_error_text(st));
}

void report_timeouts_failure(port_state& st, const char* port) {
    st.out.print("\a\aError: could not set the comm timeouts for port %s: %s\n", port, last_error_text(st));
}

void report_get_state_failure(port_state& st, const char* port) {
    st.out.print("\a\aError: could not get the comm state for port %s: %s\n", port, last_error_text(st));
}

void report_set_state_failure(port_state& st, const char* port) {
    st.out.print("\a\aError: could not set the comm state for port %s: %s\n", port, last_error_text(st));
}

int report_write_failure(port_state& st, int written, int len, const char* port) {
    st.out.print("\a\aError: wrote %d of %d, got error on port %s: %s\n", written, len, port, last_error_text(st));
    return -3;
}

void trace_open(port_state& st, const char* port, long rate, int result, const char* error_text) {
    if (st.trace != nullptr) st.trace->opened(port, rate, result, error_text);
}

void trace_close(port_state& st) {
    if (st.trace != nullptr) st.trace->closed();
}

void trace_purge(port_state& st) {
    if (st.trace != nullptr) st.trace->purged();
}

void trace_purge_input(port_state& st) {
    if (st.trace != nullptr) st.trace->purged_input();
}

void trace_write(port_state& st, const char* port, const std::uint8_t* buf, int sent, int len, int result,
                 const char* error_text) {
    if (st.trace == nullptr) return;
    const std::size_t shown = sent > 0 && buf != nullptr ? static_cast<std::size_t>(sent) : 0;
    st.trace->wrote(port, std::span<const std::uint8_t>(buf, shown), len, result, error_text);
}

void trace_read(port_state& st, const char* port, const std::uint8_t* buf, int got, int size, int timeout_ms) {
    if (st.trace == nullptr) return;
    const std::size_t shown = got > 0 ? static_cast<std::size_t>(got) : 0;
    st.trace->read(port, std::span<const std::uint8_t>(buf, shown), size, timeout_ms);
}

void fatal_timeouts(port_state& st, const char* port) {
    char message[1200];
    std::snprintf(message, sizeof message, "\a\aError: could not set the comm timeouts for port %s: %s\n", port,
                  last_error_text(st));
    if (st.trace != nullptr) st.trace->read_failed(port, last_error_text(st));
    fatal_exit(st, 25, message);
}

void fatal_read(port_state& st, const char* port) {
    char message[1200];
    std::snprintf(message, sizeof message, "\a\aError: could not read on COM port %s: %s\n", port,
                  last_error_text(st));
    if (st.trace != nullptr) st.trace->read_failed(port, last_error_text(st));
    fatal_exit(st, 26, message);
}

void fatal_exit(port_state& st, int code, const char* message) {
    // Taken first: writing the messages may change it.
    const int system_code = last_error_code();
    st.err.put(message);
    st.err.print("Return code %d, system error code %d\n", code, system_code);
    // Closed properly rather than with the process: on POSIX only an
    // explicit close clears the exclusive mode for the next program.
    close_port(st);
    // Leaves the message on screen when the console window closes with the process.
    std::this_thread::sleep_for(std::chrono::milliseconds(5000));
    std::_Exit(fatal_exit_status);
}

}  // namespace zuv
