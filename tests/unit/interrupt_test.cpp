// The interrupt key while a device command runs: the signals only mark it,
// every wait notices the mark and gives up, and the command's runner closes
// the port properly and says what was interrupted. The key is played the two
// ways it can come: as a signal to the waiting thread (POSIX), and as a mark
// set from another thread with no signal at all (the Windows console's
// handler thread), which only a wait that looks in slices can notice.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "core/console.h"
#include "core/interrupt.h"
#include "link/device_command.h"
#include "link/link_state.h"
#include "serial/port.h"
#include "pty_device.h"
#include "test_state.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;

// How the key reaches the program while it waits.
enum class key_path { signal_to_waiting_thread, mark_from_other_thread };

const char* path_name(key_path p) {
    return p == key_path::signal_to_waiting_thread ? "signal to the waiting thread" : "mark from another thread";
}

// Presses the key a little after it is made, the chosen way, while the test's
// thread waits; joined when it goes.
class key_press {
public:
    key_press(key_path path, int signal) : target_(pthread_self()) {
        helper_ = std::thread([this, path, signal] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            if (path == key_path::signal_to_waiting_thread) pthread_kill(target_, signal);
            else mark_interrupt(signal);
        });
    }
    ~key_press() { helper_.join(); }
    key_press(const key_press&) = delete;
    key_press& operator=(const key_press&) = delete;

private:
    pthread_t target_;
    std::thread helper_;
};

TEST(interrupt_catching, SignalsOnlyMarkTheKeyAndTheOldActionsComeBack) {
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction before {};
        sigaction(signal, nullptr, &before);
        {
            interrupt_catching catching;
            EXPECT_EQ(pending_interrupt(), 0);
            std::raise(signal);
            EXPECT_EQ(pending_interrupt(), signal);
            EXPECT_THROW(throw_if_interrupted(), interrupted);
        }
        struct sigaction after {};
        sigaction(signal, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before.sa_handler) << signal;
        interrupt_catching next;
        EXPECT_EQ(pending_interrupt(), 0) << "a new command starts without the old mark";
    }
}

TEST(interrupt_catching, StatusIsOneHundredTwentyEightPlusTheSignal) {
    EXPECT_EQ(interrupted_status(SIGINT), 130);
    EXPECT_EQ(interrupted_status(SIGTERM), 143);
}

// A console that never answers: a pipe nobody writes to.
class silent_console {
public:
    silent_console() {
        if (pipe(fds_) != 0) std::abort();
        in_ = fdopen(fds_[0], "r");
    }
    ~silent_console() {
        std::fclose(in_);
        close(fds_[1]);
    }
    silent_console(const silent_console&) = delete;
    silent_console& operator=(const silent_console&) = delete;
    std::FILE* get() const { return in_; }

private:
    int fds_[2]{};
    std::FILE* in_ = nullptr;
};

// On POSIX the key at a question always comes as a signal: the read it cuts
// short must not pass for an empty answer or the end of the input.
TEST(interrupt_console, KeyAtAQuestionIsNeitherAnAnswerNorTheEndOfInput) {
    for (const int signal : {SIGINT, SIGTERM}) {
        silent_console console;
        interrupt_catching catching;
        key_press key(key_path::signal_to_waiting_thread, signal);
        char answer[256];
        try {
            (void)read_console_line(console.get(), answer, sizeof answer);
            ADD_FAILURE() << "the read returned instead of reporting the key " << signal;
        } catch (const interrupted& e) {
            EXPECT_EQ(e.signal, signal);
        }
    }
}

// The port published as COM1 in a private port map, this test holding the
// device's side of a pseudo-terminal.
class interrupted_port : public testing::pty_device_test {
protected:
    void SetUp() override {
        pty_device_test::SetUp();
        if (HasFatalFailure()) return;
        std::snprintf(link().port_name, sizeof link().port_name, "COM1");
        ASSERT_EQ(open_port(link(), "COM1", 19200), 0) << con.out.text;
        link().connected = 1;
    }

    link_state& link() { return con.st().link; }
};

struct port_wait {
    const char* name;
    std::function<void(link_state&)> wait;
};

// Each long wait of the port, on a device that says nothing (or only NULs,
// which the port drops), must give up at the key rather than at its time-out.
TEST_F(interrupted_port, EveryLongWaitGivesUpAtTheKey) {
    const port_wait waits[] = {
        {"a reply byte of a packet", [](link_state& st) {
             std::uint8_t b = 0;
             (void)read_port(st, "COM1", &b, 1, 5000);
         }},
        {"a version reply", [](link_state& st) { (void)read_port(st, "COM1", st.reply_buf, 200, 2000); }},
        {"the boot loader prompt", [](link_state& st) {
             std::uint8_t b = 0;
             (void)read_port(st, "COM1", &b, 1, 20000);
         }},
    };
    for (const port_wait& w : waits) {
        for (const key_path path : {key_path::signal_to_waiting_thread, key_path::mark_from_other_thread}) {
            interrupt_catching catching;
            key_press key(path, SIGINT);
            try {
                w.wait(link());
                ADD_FAILURE() << w.name << ": the wait ran out instead of noticing the " << path_name(path);
            } catch (const interrupted& e) {
                EXPECT_EQ(e.signal, SIGINT) << w.name;
            }
        }
    }
}

TEST_F(interrupted_port, NulsFromTheDeviceDoNotHideTheKey) {
    interrupt_catching catching;
    std::thread storm([this] {
        const char nuls[16]{};
        for (int i = 0; i < 100 && pending_interrupt() == 0; ++i) {
            (void)!write(master_, nuls, sizeof nuls);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    key_press key(key_path::mark_from_other_thread, SIGINT);
    std::uint8_t b = 0;
    EXPECT_THROW((void)read_port(link(), "COM1", &b, 1, 5000), interrupted);
    storm.join();
}

TEST_F(interrupted_port, NothingIsWrittenOnceTheKeyWasPressed) {
    interrupt_catching catching;
    mark_interrupt(SIGTERM);
    const std::uint8_t pkt[] = {0x00, 0x05, 'x', 0x12, 0x34};
    EXPECT_THROW((void)write_port(link(), "COM1", pkt, sizeof pkt), interrupted);
    EXPECT_THROW(drain_port(link()), interrupted);
    EXPECT_EQ(device_reads(), "");
}

struct interrupted_case {
    const char* name;
    int signal;
    bool throws;  // else the key came after the command's last wait
    int status;
};

// The runner's shutdown: the port closes with its exclusive mode cleared, the
// connection drops, and one line says what was interrupted and on which port.
// (Its purge of the output queue cannot be seen here: a pseudo-terminal hands
// every written byte to the other side at once.)
TEST_F(interrupted_port, RunnerClosesThePortProperlyAndSaysWhatWasInterrupted) {
    const interrupted_case cases[] = {
        {"SIGINT in a wait", SIGINT, true, 130},
        {"SIGTERM in a wait", SIGTERM, true, 143},
        {"SIGINT after the last wait", SIGINT, false, 130},
    };
    for (const interrupted_case& c : cases) {
        if (!link().port.is_open()) {
            ASSERT_EQ(open_port(link(), "COM1", 19200), 0) << con.out.text;
            link().connected = 1;
        }
        con.out.text.clear();
        ASSERT_EQ(exclusive_flag(), 1) << c.name << ": the open port is held exclusively";
        const int status = run_device_command(link(), [&] {
            note_for_interrupt(link(), "during the test %s: the device may be %s", "step", "anything");
            mark_interrupt(c.signal);
            if (c.throws) throw_if_interrupted();
        });
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(con.out.text,
                  "\n\a\aInterrupted during the test step: the device may be anything. Port COM1 closed.\n")
            << c.name;
        EXPECT_FALSE(link().port.is_open()) << c.name;
        EXPECT_EQ(link().connected, 0) << c.name;
        EXPECT_EQ(exclusive_flag(), 0) << c.name << ": another program can open the port at once";
    }
}

TEST_F(interrupted_port, CommandThatRunsToItsEndLeavesThePortAsItIs) {
    const int status = run_device_command(link(), [&] {
        const std::uint8_t b = 'v';
        ASSERT_EQ(write_port(link(), "COM1", &b, 1), 1);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(con.out.text, "");
    EXPECT_TRUE(link().port.is_open());
    EXPECT_EQ(link().connected, 1);
    EXPECT_EQ(device_reads(), "v");
}

TEST_F(interrupted_port, KeyBeforeThePortOpenedNamesNoPort) {
    close_port(link());
    link().connected = 0;
    const int status = run_device_command(link(), [&] {
        note_for_interrupt(link(), "at the question: nothing was sent");
        mark_interrupt(SIGINT);
        throw_if_interrupted();
    });
    EXPECT_EQ(status, 130);
    EXPECT_EQ(con.out.text, "\n\a\aInterrupted at the question: nothing was sent.\n");
}

}  // namespace
}  // namespace zuv
