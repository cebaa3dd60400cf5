// The interrupt key on Windows: the console's Ctrl-C and Ctrl-Break events.
// The system calls the handler on a thread of its own; the command's thread
// sees the mark at its next slice of a wait (the port reads are cut into
// slices of interrupt_slice_ms for this). Closing the console window is not
// caught: the system ends the process as soon as a handler returns, and
// closing the handle is all the port needs on Windows.

#include <windows.h>

#include <csignal>

#include "core/interrupt.h"

namespace zuv {

namespace {

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    mark_interrupt(SIGINT);
    return TRUE;
}

}  // namespace

struct interrupt_catching::saved_actions {};

interrupt_catching::interrupt_catching() : saved_(std::make_unique<saved_actions>()) {
    clear_interrupt();
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

interrupt_catching::~interrupt_catching() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
    clear_interrupt();
}

}  // namespace zuv
