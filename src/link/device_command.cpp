#include "link/device_command.h"

#include <cstdarg>
#include <cstdio>

#include "core/interrupt.h"
#include "link/connection.h"
#include "link/link_state.h"
#include "serial/port.h"

namespace zuv {

namespace {

// Ordinary code, after the handler only marked the key: nothing queued for
// the device goes out, and the close clears the port's exclusive mode, so
// another program can open it at once.
int finish_interrupted(link_state& st, int signal) {
    const bool was_open = st.port.is_open();
    purge_port(st);
    close_link(st);
    const char* note = st.interrupt_note[0] != '\0' ? st.interrupt_note : "the device was not changed";
    if (was_open) st.out.print("\n\a\aInterrupted %s. Port %s closed.\n", note, st.port_name);
    else st.out.print("\n\a\aInterrupted %s.\n", note);
    return interrupted_status(signal);
}

}  // namespace

int run_device_command(link_state& st, const std::function<void()>& command) {
    st.interrupt_note[0] = '\0';
    // Caught through the shutdown too: a second key press must not cut the
    // close short.
    interrupt_catching catching;
    int signal = 0;
    try {
        command();
    } catch (const interrupted& e) {
        signal = e.signal;
    }
    if (signal == 0) signal = pending_interrupt();
    return signal == 0 ? 0 : finish_interrupted(st, signal);
}

void note_for_interrupt(link_state& st, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::vsnprintf(st.interrupt_note, sizeof st.interrupt_note, fmt, args);
    va_end(args);
}

}  // namespace zuv
