#pragma once
// The connection to the device: the port, whether a device answered on it,
// the port's name and the device's last reply.

#include <cstddef>
#include <cstdint>

#include "core/console.h"
#include "core/output.h"
#include "serial/port.h"

namespace zuv {

inline constexpr std::size_t reply_buf_size = 1024;
inline constexpr std::size_t interrupt_note_size = 256;

struct link_state : port_state {
    link_state(console_input& console, output& out_sink, output& err_sink)
        : port_state(out_sink, err_sink), no_console_(nullptr, out_sink), in(console) {}
    // A link without a console, for the link's own tests and benchmarks:
    // every question meets the end of the input.
    link_state(std::nullptr_t, output& out_sink, output& err_sink)
        : port_state(out_sink, err_sink), no_console_(nullptr, out_sink), in(no_console_) {}

private:
    stdio_console no_console_;

public:
    console_input& in;    // the console, for the questions a command asks
    int connected = 0;    // 1 while the port is open to a device that answered
    char port_name[8]{};  // "COM1" to "COM20"
    // The device's last reply, with room for a terminator.
    std::uint8_t reply_buf[reply_buf_size + 1]{};
    // Should the interrupt key cut the running device command short, what was
    // interrupted and what state the device may be left in; each device
    // command keeps it current as it goes (link/device_command.h).
    char interrupt_note[interrupt_note_size]{};
};

}  // namespace zuv
