#pragma once
// What the two port backends share: the argument checks of every operation and
// the messages both print, so the texts are written once. Each backend calls
// these first and then does its own system work.

#include <cstdint>

namespace zuv {

struct port_state;

// The backend's last system error code (errno or GetLastError), as fatal_exit
// reports it.
int last_error_code();

// open_port's name check; false after its message.
bool open_port_args_ok(port_state& st, const char* port);

// set_comm_prop's checks: 0 with the baud table's entry in table_rate, -1 (no
// name) or -2 (a rate the table does not know), each after its message.
int set_comm_prop_args(port_state& st, const char* port, long rate, long& table_rate);

// read_port's checks; a bad argument ends the process (code 25).
void check_read_args(port_state& st, const char* port, const std::uint8_t* buf, int size);

// write_port's checks: 0, or -1 (no name or len 0) / -2 (no buffer) after the message.
int write_port_args(port_state& st, const char* port, const std::uint8_t* buf, int len);

// "cannot open COM port" with the system's text.
void report_open_failure(port_state& st, const char* port);

// "could not set the comm timeouts" with the system's text.
void report_timeouts_failure(port_state& st, const char* port);

// "could not get/set the comm state" with the system's text.
void report_get_state_failure(port_state& st, const char* port);
void report_set_state_failure(port_state& st, const char* port);

// "wrote %d of %d" with the system's text; returns write_port's -3.
int report_write_failure(port_state& st, int written, int len, const char* port);

// The two fatal ends of a read: the time-outs could not be set (25), the read
// failed (26). Both carry the system's text.
[[noreturn]] void fatal_timeouts(port_state& st, const char* port);
[[noreturn]] void fatal_read(port_state& st, const char* port);

// The port's events, recorded when the state has a trace; the backends call
// these at each operation. error_text is the system's reason of a failure.
void trace_open(port_state& st, const char* port, long rate, int result, const char* error_text = nullptr);
void trace_close(port_state& st);
void trace_purge(port_state& st);
void trace_purge_input(port_state& st);
void trace_write(port_state& st, const char* port, const std::uint8_t* buf, int sent, int len, int result,
                 const char* error_text = nullptr);
void trace_read(port_state& st, const char* port, const std::uint8_t* buf, int got, int size, int timeout_ms);

// The process's failure status after fatal_exit; 1 is already the end of input.
inline constexpr int fatal_exit_status = 2;

}  // namespace zuv
