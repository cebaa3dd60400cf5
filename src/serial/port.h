#pragma once
// The only door to a COM port. One port is open at a time; its state lives in
// a port_state. The operations are implemented once per platform
// (port_posix.cpp, port_win32.cpp); what both share lives in port.cpp.

#include <cstdint>

#include "core/output.h"
#include "serial/port_trace.h"

namespace zuv {

// Time-outs in milliseconds, as a Windows COMMTIMEOUTS holds them.
struct port_timeouts {
    std::uint32_t read_interval = 0;
    std::uint32_t read_multiplier = 0;
    std::uint32_t read_constant = 0;
    std::uint32_t write_multiplier = 0;
    std::uint32_t write_constant = 0;
};

// The standing time-outs of a port at rate: one 10-bit character per read
// byte, two per written byte.
port_timeouts standing_timeouts(long rate);

// The time-outs of one read: the standing ones for a time-out of 0, else the
// same with a read constant of timeout_ms + 10.
port_timeouts read_timeouts(const port_timeouts& standing, int timeout_ms);

// How long a read of size bytes may wait in all: multiplier x size + constant.
std::uint64_t total_read_ms(const port_timeouts& t, int size);

// How long a write of len bytes may take in all.
std::uint64_t total_write_ms(const port_timeouts& t, int len);

inline constexpr std::intptr_t no_port_handle = -1;

struct serial_port {
    std::intptr_t handle = no_port_handle;  // a file descriptor or a Windows HANDLE
    long rate = 0;                          // the rate last set on the port
    port_timeouts timeouts{};               // the standing time-outs
    char error_text[1024]{};                // last_error_text's buffer

    bool is_open() const { return handle != no_port_handle; }
};

// The port and the streams its operations report to.
struct port_state {
    port_state(output& out_sink, output& err_sink) : out(out_sink), err(err_sink) {}
    port_state(const port_state&) = delete;
    port_state& operator=(const port_state&) = delete;

    output& out;  // every message but the fatal ones
    output& err;  // the fatal read messages
    serial_port port{};
    port_trace* trace = nullptr;  // where every port event is recorded, when asked for
};

// 0 when open at rate with 8N1 and the standing time-outs; -1 no name, -2 not
// opened, -3 the port state could not be set, -14 the time-outs could not be set.
int open_port(port_state& st, const char* port, long rate);

// Sets 8N1 at rate on the open port; 0 or a negative code after its message.
int set_comm_prop(port_state& st, const char* port, long rate);

// Bytes read, 0 to size; 0 when nothing came before the time-out. A failed
// read ends the process through fatal_exit. Every wait of the port
// operations (read, write, drain) throws `interrupted` (core/interrupt.h)
// within interrupt_slice_ms of the interrupt key while it is caught; a
// write sends nothing once the key was pressed.
int read_port(port_state& st, const char* port, std::uint8_t* buf, int size, int timeout_ms);

// len on success, or -1 (no name or len 0), -2 (no buffer), -3 (the write
// failed). Never 0.
int write_port(port_state& st, const char* port, const std::uint8_t* buf, int len);

// Discards what is pending in both directions.
void purge_port(port_state& st);

// Discards what the device sent that was not read yet.
void purge_input(port_state& st);

// The longest drain_port waits.
inline constexpr int drain_limit_ms = 1000;

// Waits, bounded by drain_limit_ms, until what was written has left the host.
void drain_port(port_state& st);

// Closes the port; nothing is purged or flushed first. The caller clears
// the connection state in the same step.
void close_port(port_state& st);

// The system's text for the last error.
const char* last_error_text(port_state& st);

// Writes message and the codes to standard error, lets the port go, and
// ends the process.
[[noreturn]] void fatal_exit(port_state& st, int code, const char* message);

}  // namespace zuv
