#pragma once
// Running a device command with the interrupt key caught (core/interrupt.h):
// when the key cuts the command short, the port is closed properly and the
// operator is told, in one line, what was interrupted and what state the
// device may be left in.

#include <functional>

#include "core/output.h"

namespace zuv {

struct link_state;

// Runs command with the key caught. 0 when it ran to its end. After the key
// (during the command, or after its last wait): the port's queues purged, the
// port closed and the connection dropped, the note printed, and 128 + the
// signal returned: the status the program ends with.
int run_device_command(link_state& st, const std::function<void()>& command);

// What the operator is told should the key cut the running command short:
// "what was interrupted: what state the device may be in".
void note_for_interrupt(link_state& st, const char* fmt, ...) ZUV_PRINTF(2, 3);

}  // namespace zuv
