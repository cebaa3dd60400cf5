#pragma once
// Replacing the device firmware through its boot loader, with resends, an
// error limit for the whole upload and a progress line.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/args.h"

namespace zuv {

class output;
struct firmware_state;
struct link_state;

// firmware's results.
inline constexpr int fw_ok = 0;
inline constexpr int fw_no_file_name = -1;
inline constexpr int fw_cannot_open = -2;
inline constexpr int fw_bad_file = -4;
inline constexpr int fw_no_port = -5;  // the first or the second opening
inline constexpr int fw_no_prompt = -6;
inline constexpr int fw_write_failed = -7;  // the interrupt, the reset command or the sync character
inline constexpr int fw_no_sync = -8;
inline constexpr int fw_id_write_failed = -9;
inline constexpr int fw_no_id_ack = -10;
inline constexpr int fw_record_write_failed = -11;
inline constexpr int fw_too_many_errors = -12;
inline constexpr int fw_device_fatal = -13;
inline constexpr int fw_buffer_full = -14;
inline constexpr int fw_cannot_read = -15;  // the file broke off during the upload

// The boot loader runs at this rate whatever the device's console used.
inline constexpr long firmware_rate = 19200;

// Replies to a record other than ACK, over the whole upload, that end it.
inline constexpr int fw_error_limit = 10;

// How long to wait for a record's reply: the boot loader answers within
// 100 ms of the record's last character, and the write returns once the
// characters are queued, so the record's own time on the wire at
// firmware_rate comes on top (rounded up to whole milliseconds).
int record_reply_timeout_ms(std::size_t characters);

// Checks filename, then sends it to the boot loader on COMport at 19200.
// 0 on success, else one of the codes above after its message. Sets
// link.port_name; does not change link.connected.
int firmware(link_state& link, firmware_state& fw, int port, const char* filename);

// The progress line after an acknowledged record: elapsed seconds since
// fw.start_time, the time to completion, the percentage and a bar of up to
// 59 '=' from index 21, after a carriage return and without a line feed.
std::string progress_line(std::int64_t elapsed, long acked, long total);
void fw_progress(output& out, const firmware_state& fw, long acked, long total);

// The console command: refused while connected; asks before it starts.
void firmware_command(link_state& link, firmware_state& fw, arg_cursor& args);

}  // namespace zuv
