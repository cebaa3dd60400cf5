#pragma once
// The interrupt key while a device command runs: Ctrl-C (SIGINT), SIGTERM,
// and on Windows the console's Ctrl-C and Ctrl-Break events. A command cut
// short must still close the port properly (exclusive mode cleared, queues
// purged) and tell the operator what state the device is left in, so the key
// does not end the program on the spot. Its handler only marks the interrupt;
// every wait on the port or the console notices the mark within
// interrupt_slice_ms and throws `interrupted`, and the code that ran the
// command finishes the shutdown. At the "Command> " prompt nothing is caught
// and the key ends the program at once, as it always has.

#include <memory>

namespace zuv {

// Thrown out of a wait once the interrupt key was pressed.
struct interrupted {
    int signal;  // SIGINT (2) or SIGTERM (15); the Windows console events count as SIGINT
};

// The longest a port wait goes without looking for the mark.
inline constexpr int interrupt_slice_ms = 50;

// While one lives, the interrupt key only marks an interrupt; before and
// after, each signal has the action it had, and no mark is left. Not nested.
class interrupt_catching {
public:
    interrupt_catching();  // starts with no mark
    ~interrupt_catching();
    interrupt_catching(const interrupt_catching&) = delete;
    interrupt_catching& operator=(const interrupt_catching&) = delete;

private:
    struct saved_actions;
    std::unique_ptr<saved_actions> saved_;
};

// The signal of the interrupt marked while catching, or 0.
int pending_interrupt();

// Throws `interrupted` when an interrupt is marked.
void throw_if_interrupted();

// The exit status after an interrupt: 128 + the signal, as a shell reports a
// program its signal ended (130 for SIGINT, 143 for SIGTERM).
inline constexpr int interrupted_status(int signal) { return 128 + signal; }

// What the platform's handler calls; also how a test plays the key from
// another thread, as the Windows console does.
void mark_interrupt(int signal);

// Forgets a mark; interrupt_catching does this as it starts and ends.
void clear_interrupt();

}  // namespace zuv
