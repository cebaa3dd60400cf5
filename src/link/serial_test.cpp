#include "link/serial_test.h"

#include <cstdint>

#include "core/output.h"
#include "diag/hexdump.h"
#include "link/connection.h"
#include "link/link_state.h"
#include "serial/port.h"

namespace zuv {

namespace {

constexpr std::uint8_t start_command[] = {'s', 'e', 'r', 'i', 'a', 'l', 't', 'e', 's', 't', '\n'};
static_assert(sizeof start_command == 11);
constexpr std::string_view announcement = "Begin serial test: end with <ctrl>-c";
constexpr std::uint8_t end_byte = 0x03;

constexpr std::uint8_t first_test_char = '@';
constexpr std::uint8_t last_test_char = '~';
static_assert(last_test_char - first_test_char + 1 == serial_test_chars_per_iteration);

constexpr int announcement_timeout_ms = 1000;
constexpr int echo_timeout_ms = 1000;

// Asks the device to start echoing and checks that it said so.
bool start_device_test(link_state& st) {
    if (write_port(st, st.port_name, start_command, sizeof start_command) < 0) {
        st.out.print("\n\a\aError: wrote serialtest command, got error on port %s\n", st.port_name);
        return false;
    }
    const int got = read_port(st, st.port_name, st.reply_buf, static_cast<int>(reply_buf_size), announcement_timeout_ms);
    st.reply_buf[got] = 0;
    // Searched over every byte received: a NUL the driver passed on must not
    // hide an announcement after it.
    const std::string_view reply(reinterpret_cast<const char*>(st.reply_buf), static_cast<std::size_t>(got));
    if (reply.find(announcement) == std::string_view::npos) {
        st.out.put("\n\a\aError: did not receive the serialtest response!\n");
        hexdump(&st.out, hexdump_short_header, "Got", st.reply_buf, got, 10);
        return false;
    }
    return true;
}

bool echo_one(link_state& st, long iteration, std::uint8_t c) {
    if (write_port(st, st.port_name, &c, 1) < 0) {
        st.out.print("\n\a\aError: wrote serialtest count %ld value 0x%02x, got error on port %s\n", iteration,
                     static_cast<unsigned>(c), st.port_name);
        return false;
    }
    std::uint8_t echo = 0;
    if (read_port(st, st.port_name, &echo, 1, echo_timeout_ms) == 0) {
        st.out.print("\n\a\aError: did not receive the serialtest response on port %s!\n", st.port_name);
        return false;
    }
    if (echo != c) {
        st.out.print("\n\a\aError: serialtest mismatch character 0x%02x, got 0x%02x\n", static_cast<unsigned>(c),
                     static_cast<unsigned>(echo));
        return false;
    }
    return true;
}

// One dot per iteration, so the dots before a failure tell how many passed.
bool echo_iterations(link_state& st, long count) {
    for (long i = 1; i <= count; ++i) {
        for (unsigned c = first_test_char; c <= last_test_char; ++c)
            if (!echo_one(st, i, static_cast<std::uint8_t>(c))) return false;
        st.out.put(".");
    }
    return true;
}

bool end_device_test(link_state& st) {
    if (write_port(st, st.port_name, &end_byte, 1) < 0) {
        st.out.print("\n\a\aError: wrote serialtest termination command, got error on port %s\n", st.port_name);
        return false;
    }
    return true;
}

}  // namespace

std::optional<long> iteration_count(output& out, std::string_view token) {
    const long count = decimal_value(token);
    if (count < 1) {
        out.print("\a\aError: Invalid iteration count: %ld\n", count);
        return std::nullopt;
    }
    if (count > max_serial_test_iterations) {
        // Quoted as typed: a count beyond the range of long reads as the
        // largest long, which differs between the platforms.
        out.print("\a\aError: Invalid iteration count: %.*s (at most %ld)\n", static_cast<int>(token.size()),
                  token.data(), max_serial_test_iterations);
        return std::nullopt;
    }
    return count;
}

void serial_test(link_state& st, keyword_code code, std::string_view count_text) {
    if (code != kw_serialtest) {
        st.out.print("\a\aError: Invalid command %d\n", static_cast<int>(code));
        return;
    }
    const auto count = iteration_count(st.out, count_text);
    if (!count) return;
    // After a failure the device may still be echoing; the next connect
    // interrupts it, so nothing more is sent now.
    if (!start_device_test(st) || !echo_iterations(st, *count)) {
        close_link(st);
        return;
    }
    st.out.print("\nSerial test passed: wrote %ld characters\n", *count * serial_test_chars_per_iteration);
    if (!end_device_test(st)) close_link(st);
}

void serialtest_command(link_state& st, arg_cursor& args) {
    if (st.connected != 1) {
        st.out.put("\a\aError: not Connected!\n");
        return;
    }
    const auto token = args.next_number();
    if (!token) {
        st.out.put("\a\aError: missing argument: iteration\n");
        return;
    }
    serial_test(st, kw_serialtest, *token);
}

}  // namespace zuv
