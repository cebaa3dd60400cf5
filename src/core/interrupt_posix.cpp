// The interrupt key on POSIX: SIGINT and SIGTERM. The handlers are installed
// without SA_RESTART, so a console read that a signal cuts short returns at
// once and the reader can look for the mark; a poll() returns EINTR anyway.

#include <signal.h>

#include <iterator>

#include "core/interrupt.h"

namespace zuv {

namespace {

extern "C" void on_interrupt_signal(int signal) { mark_interrupt(signal); }

constexpr int caught_signals[] = {SIGINT, SIGTERM};

}  // namespace

struct interrupt_catching::saved_actions {
    struct sigaction before[std::size(caught_signals)];
};

interrupt_catching::interrupt_catching() : saved_(std::make_unique<saved_actions>()) {
    clear_interrupt();
    struct sigaction action {};
    action.sa_handler = on_interrupt_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(caught_signals); ++i) sigaction(caught_signals[i], &action, &saved_->before[i]);
}

interrupt_catching::~interrupt_catching() {
    for (std::size_t i = 0; i < std::size(caught_signals); ++i) sigaction(caught_signals[i], &saved_->before[i], nullptr);
    clear_interrupt();
}

}  // namespace zuv
