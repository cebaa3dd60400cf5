// The POSIX port over a real pseudo-terminal: this test holds the master side,
// as the device would, and publishes the other side as COM1 in a private port map.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "serial/baud.h"
#include "serial/line_rate.h"
#include "serial/port.h"
#include "serial/port_trace.h"
#include "shell/shell.h"
#include "pty_device.h"
#include "test_state.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;

using pty_port = testing::pty_device_test;

TEST_F(pty_port, OpensRaw8N1AtEveryRateOfTheBaudTable) {
    for (long rate : baud_table) {
        if (rate == 0) break;
        ASSERT_EQ(open_port(con.st().link, "COM1", rate), 0) << rate << con.out.text;
        EXPECT_EQ(get_line_rate(master_), rate);
        termios tio{};
        ASSERT_EQ(tcgetattr(master_, &tio), 0);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << rate;
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u) << rate;
        EXPECT_NE(tio.c_cflag & (CREAD | CLOCAL), 0u) << rate;
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u) << rate;
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u) << rate;
        EXPECT_EQ(tio.c_oflag & OPOST, 0u) << rate;
        EXPECT_EQ(con.st().link.port.rate, rate);
        close_port(con.st().link);
    }
    EXPECT_EQ(con.out.text, "");
}

TEST_F(pty_port, RateOutsideTheTableIsRefusedAndLeavesNoPortOpen) {
    EXPECT_EQ(open_port(con.st().link, "COM1", 28800), -3);
    EXPECT_EQ(con.out.text, "\a\aError: Invalid baud rate 28800\n");
    EXPECT_FALSE(con.st().link.port.is_open());
    EXPECT_EQ(open_port(con.st().link, "COM1", 19200), 0);  // nothing left locked
}

TEST_F(pty_port, PortHeldByAnotherHandleCannotBeOpened) {
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    testing::console_fixture other;
    EXPECT_EQ(open_port(other.st().link, "COM1", 19200), -2);
    EXPECT_EQ(other.out.text, "\a\aError: cannot open COM port COM1: Device or resource busy\n");
    close_port(con.st().link);
    EXPECT_EQ(open_port(other.st().link, "COM1", 19200), 0);
    close_port(other.st().link);
}

TEST_F(pty_port, ExclusiveModeDoesNotOutliveTheClose) {
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    EXPECT_EQ(exclusive_flag(), 1);
    close_port(con.st().link);
    EXPECT_EQ(exclusive_flag(), 0);
}

TEST_F(pty_port, LeavingTheProgramReleasesTheConnectedPort) {
    for (const char* input : {"exit\n", ""}) {
        testing::console_fixture session(input);
        ASSERT_EQ(open_port(session.st().link, "COM1", 19200), 0);
        session.st().link.connected = 1;
        run_shell(session.st());
        EXPECT_FALSE(session.st().link.port.is_open()) << input;
        EXPECT_EQ(exclusive_flag(), 0) << input;
    }
}

TEST_F(pty_port, PortMapEntriesThatAreNoTerminalAreReported) {
    fs::create_symlink("/nonexistent/tty", dir_ / "zuvdigi" / "com2");
    EXPECT_EQ(open_port(con.st().link, "COM2", 19200), -2);
    EXPECT_EQ(con.out.text, "\a\aError: cannot open COM port COM2: No such file or directory\n");
    con.out.text.clear();
    { std::FILE* f = std::fopen((dir_ / "zuvdigi" / "com3").c_str(), "w"); std::fclose(f); }
    EXPECT_EQ(open_port(con.st().link, "COM3", 19200), -3);
    EXPECT_EQ(con.out.text,
              "\a\aError: could not get the comm state for port COM3: Inappropriate ioctl for device\n");
    EXPECT_FALSE(con.st().link.port.is_open());
    EXPECT_EQ(open_port(con.st().link, nullptr, 19200), -1);
}

// The trace without its time column, one event a line.
std::vector<std::string> trace_events(const std::string& trace) {
    std::vector<std::string> events;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("#")) continue;
        const std::size_t at = line.find_first_not_of(" 0123456789.");
        events.push_back(at == std::string::npos ? line : line.substr(at));
    }
    return events;
}

TEST_F(pty_port, TraceRecordsEveryEventAsTheHostSawIt) {
    string_output sink;
    port_trace trace(sink);
    link_state& st = con.st().link;
    st.trace = &trace;
    ASSERT_EQ(open_port(st, "COM1", 19200), 0);
    const std::uint8_t hello[] = {'h', 'i', '\n'};
    ASSERT_EQ(write_port(st, "COM1", hello, 3), 3);
    device_sends(std::string("o\0k", 3));
    std::uint8_t buf[8];
    ASSERT_EQ(read_port(st, "COM1", buf, 8, 50), 2);
    ASSERT_EQ(read_port(st, "COM1", buf, 1, 0), 0);
    purge_input(st);
    purge_port(st);
    close_port(st);
    EXPECT_EQ(open_port(st, "COM9", 19200), -2);
    st.trace = nullptr;
    ASSERT_EQ(open_port(st, "COM1", 19200), 0);
    close_port(st);
    EXPECT_EQ(trace_events(sink.text), (std::vector<std::string>{
                                           "open  COM1 rate=19200 result=0",
                                           "write COM1 len=3 sent=3 result=3 | 68 69 0a | \"hi\\n\"",
                                           "read  COM1 size=8 timeout=50 got=2 | 6f 6b | \"ok\"",
                                           "read  COM1 size=1 timeout=0 got=0",
                                           "purge input",
                                           "purge",
                                           "close",
                                           "open  COM9 rate=19200 result=-2 error=\"No such file or directory\"",
                                       }))
        << sink.text;
    EXPECT_TRUE(sink.text.starts_with("# zuvdigi port trace")) << sink.text;
}

TEST_F(pty_port, ReadReturnsAsSoonAsTheBytesAreThereWithoutNulBytes) {
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    device_sends(std::string("a\0b\0\0cdef", 9));
    std::uint8_t buf[16]{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(read_port(con.st().link, "COM1", buf, 3, 5000), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));  // did not wait for the time-out
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "abc");
    EXPECT_EQ(read_port(con.st().link, "COM1", buf, 16, 20), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "def");
    EXPECT_EQ(read_port(con.st().link, "COM1", buf, 16, 20), 0);
}

TEST_F(pty_port, OpenDiscardsWhatTheDeviceSentBeforeAndPurgeDiscardsBothWays) {
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    close_port(con.st().link);
    device_sends("stale");
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    std::uint8_t buf[16];
    EXPECT_EQ(read_port(con.st().link, "COM1", buf, 16, 20), 0);
    device_sends("pending");
    purge_port(con.st().link);
    EXPECT_EQ(read_port(con.st().link, "COM1", buf, 16, 20), 0);
}

// The rate change writes "host <rate>", closes and reopens at once. Nothing
// written before the close may be lost, even when the device reads late.
TEST_F(pty_port, RateChangeNeverLosesTheHostCommand) {
    std::string sent;
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    for (int i = 0; i < 100; ++i) {
        const std::string cmd = "host " + std::to_string(i % 2 == 0 ? 38400 : 9600) + "\n";
        ASSERT_EQ(write_port(con.st().link, "COM1", reinterpret_cast<const std::uint8_t*>(cmd.data()),
                             static_cast<int>(cmd.size())),
                  static_cast<int>(cmd.size()));
        sent += cmd;
        drain_port(con.st().link);
        close_port(con.st().link);
        ASSERT_EQ(open_port(con.st().link, "COM1", i % 2 == 0 ? 38400 : 9600), 0);
        if (i % 10 == 9) {
            EXPECT_EQ(device_reads(), sent) << "after " << i + 1 << " changes";
            sent.clear();
        }
    }
}

TEST_F(pty_port, WriteChecksItsArgumentsAndReportsAVanishedDevice) {
    ASSERT_EQ(open_port(con.st().link, "COM1", 19200), 0);
    const std::uint8_t bytes[] = {'a', 'b', 'c'};
    EXPECT_EQ(write_port(con.st().link, nullptr, bytes, 3), -1);
    EXPECT_EQ(write_port(con.st().link, "COM1", nullptr, 3), -2);
    EXPECT_EQ(write_port(con.st().link, "COM1", bytes, 0), -1);
    EXPECT_EQ(con.out.text,
              "write_port: Error: invalid param file port\n"
              "write_port: Error: invalid param buf ptr\n"
              "write_port: Error: invalid param len: 0\n");
    EXPECT_EQ(write_port(con.st().link, "COM1", bytes, 3), 3);
    EXPECT_EQ(device_reads(), "abc");
    con.out.text.clear();
    close(master_);
    master_ = -1;
    EXPECT_EQ(write_port(con.st().link, "COM1", bytes, 3), -3);
    EXPECT_EQ(con.out.text, "\a\aError: wrote 0 of 3, got error on port COM1: Input/output error\n");
}

}  // namespace
}  // namespace zuv
