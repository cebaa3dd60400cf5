#include "core/interrupt.h"

#include <csignal>

namespace zuv {

namespace {

// The program's one mutable global, and it cannot be otherwise: a signal
// handler is handed no object, so the only place it can leave word is a
// static flag, and the only type it may safely store to is a volatile
// sig_atomic_t. It holds a signal number, never a pointer or a count, and
// everything else about an interrupt lives in the state objects.
volatile std::sig_atomic_t interrupt_mark = 0;

}  // namespace

void mark_interrupt(int signal) { interrupt_mark = signal; }

void clear_interrupt() { interrupt_mark = 0; }

int pending_interrupt() { return static_cast<int>(interrupt_mark); }

void throw_if_interrupted() {
    if (const int signal = pending_interrupt(); signal != 0) throw interrupted{signal};
}

}  // namespace zuv
