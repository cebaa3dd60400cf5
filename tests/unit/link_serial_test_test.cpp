// The serial echo test: its count rules and refusals, which never touch the
// port, and the write failures, which need a line that dies at a chosen
// moment: a device on a pseudo-terminal that hangs up when the test prints
// its first progress dot.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "link/link_state.h"
#include "link/serial_test.h"
#include "serial/port.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;

struct refusal_case {
    const char* token;
    const char* message;
};

TEST(SerialTestCount, CountsBelowOneOrTooLargeAreRefusedWithoutTouchingThePort) {
    const refusal_case cases[] = {
        {"0", "\a\aError: Invalid iteration count: 0\n"},
        {"-1", "\a\aError: Invalid iteration count: -1\n"},
        {"abc", "\a\aError: Invalid iteration count: 0\n"},
        {"-0", "\a\aError: Invalid iteration count: 0\n"},
        {"x5", "\a\aError: Invalid iteration count: 0\n"},
        {"34087043", "\a\aError: Invalid iteration count: 34087043 (at most 34087042)\n"},
        // Beyond the range of long: quoted as typed, the same on every platform.
        {"99999999999999999999", "\a\aError: Invalid iteration count: 99999999999999999999 (at most 34087042)\n"},
    };
    for (const refusal_case& c : cases) {
        string_output out, err;
        link_state st(nullptr, out, err);
        st.connected = 1;  // no port is open: any write would print its failure
        serial_test(st, kw_serialtest, c.token);
        EXPECT_EQ(out.text, c.message) << c.token;
        EXPECT_EQ(st.connected, 1) << c.token;
    }
}

TEST(SerialTestCount, ReadsTheLeadingDecimalNumberUpToTheLimit) {
    const struct {
        const char* token;
        long count;
    } cases[] = {{"1", 1}, {"+7", 7}, {"2x", 2}, {"007", 7}, {"34087042", 34087042}};
    for (const auto& c : cases) {
        string_output out;
        EXPECT_EQ(iteration_count(out, c.token), c.count) << c.token;
        EXPECT_EQ(out.text, "") << c.token;
    }
    // The limit is the largest count whose total fits a 32-bit long.
    EXPECT_LE(max_serial_test_iterations * serial_test_chars_per_iteration, 2147483647L);
    EXPECT_GT((max_serial_test_iterations + 1) * serial_test_chars_per_iteration, 2147483647L);
}

TEST(SerialTestCommand, RefusesWithoutAConnectionAnArgumentOrTheRightCode) {
    const struct {
        int connected;
        const char* line;
        const char* message;
    } cases[] = {
        {0, "1", "\a\aError: not Connected!\n"},
        {0, "", "\a\aError: not Connected!\n"},
        {1, "", "\a\aError: missing argument: iteration\n"},
        {1, " ,\t", "\a\aError: missing argument: iteration\n"},
    };
    for (const auto& c : cases) {
        string_output out, err;
        link_state st(nullptr, out, err);
        st.connected = c.connected;
        arg_cursor args(c.line);
        serialtest_command(st, args);
        EXPECT_EQ(out.text, c.message) << c.line;
        EXPECT_EQ(st.connected, c.connected) << c.line;
    }
    string_output out, err;
    link_state st(nullptr, out, err);
    st.connected = 1;
    serial_test(st, kw_download, "1");
    EXPECT_EQ(out.text, "\a\aError: Invalid command 0\n");
    EXPECT_EQ(st.connected, 1);
}

constexpr std::string_view announcement = "\r\nBegin serial test: end with <ctrl>-c\r\n";

// The device side of a pseudo-terminal published as COM1: it answers
// "serialtest\n" with said (the announcement) and echoes every byte, keeping
// all it received, until hang_up() closes its side.
class echo_device {
public:
    explicit echo_device(std::string_view said = announcement) : said_(said) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
        char tmpl[] = "/tmp/zuv_serial_test_XXXXXX";
        if (mkdtemp(tmpl) == nullptr) std::abort();
        dir_ = tmpl;
        fs::create_directories(dir_ / "zuvdigi");
        fs::create_symlink(ptsname(master_), dir_ / "zuvdigi" / "com1");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) old_xdg_ = old;
        had_xdg_ = old != nullptr;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        peer_ = std::thread([this] { run(); });
    }
    ~echo_device() {
        hang_up();
        if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir_);
    }
    echo_device(const echo_device&) = delete;
    echo_device& operator=(const echo_device&) = delete;

    void hang_up() {
        if (master_ < 0) return;
        stop_ = true;
        peer_.join();
        close(master_);
        master_ = -1;
    }
    // Everything the host sent; read once the device has hung up.
    const std::string& received() const { return received_; }

private:
    void run() {
        bool echoing = false;
        char buf[256];
        for (;;) {
            pollfd pfd{master_, POLLIN, 0};
            // What the host wrote before the hang-up is still taken in.
            if (poll(&pfd, 1, 5) <= 0 || (pfd.revents & POLLIN) == 0) {
                if (stop_) return;
                continue;
            }
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            received_.append(buf, static_cast<std::size_t>(n));
            if (echoing) {
                (void)!write(master_, buf, static_cast<std::size_t>(n));
            } else if (received_.find('\n') != std::string::npos) {
                (void)!write(master_, said_.data(), said_.size());
                echoing = true;
            }
        }
    }

    std::string said_;
    int master_ = -1;
    fs::path dir_;
    bool had_xdg_ = false;
    std::string old_xdg_;
    std::string received_;
    std::thread peer_;
    std::atomic<bool> stop_{false};
};

// Collects the output; the first progress dot makes the device hang up, so
// the host's next write is the one that fails.
class hang_up_at_first_dot final : public output {
public:
    explicit hang_up_at_first_dot(echo_device* dev) : dev_(dev) {}
    void write(const char* data, std::size_t len) override {
        text.append(data, len);
        if (dev_ != nullptr && text.find('.') != std::string::npos) dev_->hang_up();
    }
    std::string text;

private:
    echo_device* dev_;
};

struct open_link {
    explicit open_link(output& out) : st(nullptr, out, err) {
        std::snprintf(st.port_name, sizeof st.port_name, "COM1");
        if (open_port(st, st.port_name, 19200) == 0) st.connected = 1;
    }
    ~open_link() { close_port(st); }
    string_output err;
    link_state st;
};

TEST(SerialTestLine, OnlyTheWholeAnnouncementStartsTheTest) {
    const struct {
        const char* name;
        std::string said;
        std::string output;
        int connected;
    } cases[] = {
        {"after a stale prompt", "\r\nZizezu> " + std::string(announcement),
         ".\nSerial test passed: wrote 63 characters\n", 1},
        {"firmware without the test", "\r\n?\r\nZizezu> ",
         "\n\a\aError: did not receive the serialtest response!\n"
         "Got: length 13 (0xd):\n"
         "Dec  Hex |  0  1  2  3  4  5  6  7    8  9  a  b  c  d  e  f | 0123456789abcdef\n"
         "   0 0000| 0d 0a 3f 0d 0a 5a 69 7a   65 7a 75 3e 20          | ..?..Zizezu> \n",
         0},
        {"cut short", "\r\nBegin serial test: end with <ctrl>-",
         "\n\a\aError: did not receive the serialtest response!\n"
         "Got: length 37 (0x25):\n"
         "Dec  Hex |  0  1  2  3  4  5  6  7    8  9  a  b  c  d  e  f | 0123456789abcdef\n"
         "   0 0000| 0d 0a 42 65 67 69 6e 20   73 65 72 69 61 6c 20 74 | ..Begin serial t\n"
         "  16 0010| 65 73 74 3a 20 65 6e 64   20 77 69 74 68 20 3c 63 | est: end with <c\n"
         "  32 0020| 74 72 6c 3e 2d                                    | trl>-\n",
         0},
    };
    for (const auto& c : cases) {
        echo_device dev(c.said);
        string_output out;
        open_link link(out);
        ASSERT_EQ(link.st.connected, 1) << out.text;
        serial_test(link.st, kw_serialtest, "1");
        EXPECT_EQ(out.text, c.output) << c.name;
        EXPECT_EQ(link.st.connected, c.connected) << c.name;
        EXPECT_EQ(link.st.port.is_open(), c.connected == 1) << c.name;
    }
}

TEST(SerialTestLine, AFailedWriteEndsTheTestClosesThePortAndSendsNoEndByte) {
    const std::string start = "serialtest\n";
    std::string one_iteration;
    for (char c = '@'; c <= '~'; ++c) one_iteration.push_back(c);
    const std::string lost = "\a\aError: wrote 0 of 1, got error on port COM1: Input/output error\n";
    const struct {
        const char* name;
        bool hang_up_first;  // before the test starts, else at the first dot
        const char* count;
        std::string output;
        std::string received;
        int connected;
    } cases[] = {
        {"passes", false, "2", "..\nSerial test passed: wrote 126 characters\n",
         start + one_iteration + one_iteration + "\x03", 1},
        {"start command", true, "2",
         "\a\aError: wrote 0 of 11, got error on port COM1: Input/output error\n"
         "\n\a\aError: wrote serialtest command, got error on port COM1\n",
         "", 0},
        {"second iteration", false, "2",
         "." + lost + "\n\a\aError: wrote serialtest count 2 value 0x40, got error on port COM1\n",
         start + one_iteration, 0},
        {"end byte", false, "1",
         ".\nSerial test passed: wrote 63 characters\n" + lost +
             "\n\a\aError: wrote serialtest termination command, got error on port COM1\n",
         start + one_iteration, 0},
    };
    for (const auto& c : cases) {
        echo_device dev;
        hang_up_at_first_dot out(c.hang_up_first || c.connected == 1 ? nullptr : &dev);
        open_link link(out);
        ASSERT_EQ(link.st.connected, 1) << out.text;
        if (c.hang_up_first) dev.hang_up();
        serial_test(link.st, kw_serialtest, c.count);
        dev.hang_up();
        EXPECT_EQ(out.text, c.output) << c.name;
        EXPECT_EQ(dev.received(), c.received) << c.name;
        EXPECT_EQ(link.st.connected, c.connected) << c.name;
        EXPECT_EQ(link.st.port.is_open(), c.connected == 1) << c.name;
        EXPECT_EQ(link.err.text, "") << c.name;
    }
}

}  // namespace
}  // namespace zuv
