// The Win32 port backend against a real port. COM1 must lead to a device that
// stays silent and keeps every byte it receives in the file named by
// ZUV_DEVICE_LOG: run_wine_unit.sh gives it zuvsim on a pseudo-terminal under
// Wine. The driver's own view of the port (GetCommState, GetCommTimeouts) is
// what is checked, not the backend's bookkeeping.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "core/interrupt.h"
#include "core/output.h"
#include "serial/baud.h"
#include "serial/port.h"

namespace zuv {
namespace {

constexpr const char* device_port = "COM1";

// A fresh port with its messages captured.
class port_test : public ::testing::Test {
protected:
    void SetUp() override {
        st_ = std::make_unique<port_state>(out, err);
    }
    void TearDown() override {
        close_port(st());
        st_.reset();
    }

    port_state& st() { return *st_; }
    HANDLE handle() { return reinterpret_cast<HANDLE>(st().port.handle); }

    COMMTIMEOUTS driver_timeouts() {
        COMMTIMEOUTS ct{};
        EXPECT_TRUE(GetCommTimeouts(handle(), &ct));
        return ct;
    }

    string_output out;
    string_output err;

private:
    std::unique_ptr<port_state> st_;
};

// The system's text for code, as FormatMessageA gives it.
std::string system_text(DWORD code) {
    char buf[1024];
    const DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400,
                                     buf, sizeof buf, nullptr);
    return {buf, len};
}

bool running_under_wine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void expect_timeouts(const COMMTIMEOUTS& got, const port_timeouts& want, long rate) {
    EXPECT_EQ(got.ReadIntervalTimeout, want.read_interval) << rate;
    EXPECT_EQ(got.ReadTotalTimeoutMultiplier, want.read_multiplier) << rate;
    EXPECT_EQ(got.ReadTotalTimeoutConstant, want.read_constant) << rate;
    EXPECT_EQ(got.WriteTotalTimeoutMultiplier, want.write_multiplier) << rate;
    EXPECT_EQ(got.WriteTotalTimeoutConstant, want.write_constant) << rate;
}

// What the device has received so far; waits, bounded, until it holds at
// least want bytes, since the device logs them as they arrive.
std::string device_log(std::size_t want) {
    const char* path = std::getenv("ZUV_DEVICE_LOG");
    if (path == nullptr) return "(ZUV_DEVICE_LOG is not set)";
    std::string got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    do {
        std::ifstream log(path, std::ios::binary);
        got.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
        if (got.size() >= want) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < until);
    return got;
}

TEST_F(port_test, ErrorTextKeepsTheCarriageReturnAndTheErrorCode) {
    const std::string full = system_text(ERROR_FILE_NOT_FOUND);
    ASSERT_GE(full.size(), 2u);
    ASSERT_EQ(full.substr(full.size() - 2), "\r\n");
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(last_error_text(st())), full.substr(0, full.size() - 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    constexpr DWORD no_such_code = 0x2000FFFF;
    SetLastError(no_such_code);
    EXPECT_STREQ(last_error_text(st()), "");
    EXPECT_EQ(GetLastError(), no_such_code);
}

TEST_F(port_test, PortThatDoesNotExistIsReportedWithTheSystemsText) {
    EXPECT_EQ(open_port(st(), "COM99", 19200), -2);
    const DWORD code = GetLastError();
    const std::string text = system_text(code);
    EXPECT_EQ(out.text, "\a\aError: cannot open COM port COM99: " + text.substr(0, text.size() - 1) + "\n");
    EXPECT_FALSE(st().port.is_open());
}

TEST_F(port_test, OpensAt8N1WithoutFlowControlAtEveryRateOfTheBaudTable) {
    for (long rate : baud_table) {
        if (rate == 0) break;
        ASSERT_EQ(open_port(st(), device_port, rate), 0) << rate << out.text;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(handle(), &dcb));
        // Wine sets only the speeds a Linux terminal names (not 14400 or
        // 56000) and keeps the previous one without an error.
        if (!running_under_wine() || (rate != 14400 && rate != 56000)) {
            EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(rate));
        }
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY) << rate;
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT) << rate;
        EXPECT_EQ(dcb.fOutxCtsFlow, 0u) << rate;
        EXPECT_EQ(dcb.fOutX, 0u) << rate;
        EXPECT_EQ(dcb.fInX, 0u) << rate;
        EXPECT_EQ(st().port.rate, rate);
        expect_timeouts(driver_timeouts(), standing_timeouts(rate), rate);
        close_port(st());
    }
    EXPECT_EQ(out.text, "");
}

TEST_F(port_test, RateOutsideTheTableIsRefusedAndLeavesNoPortOpen) {
    EXPECT_EQ(open_port(st(), device_port, 28800), -3);
    EXPECT_EQ(out.text, "\a\aError: Invalid baud rate 28800\n");
    EXPECT_FALSE(st().port.is_open());
    EXPECT_EQ(open_port(st(), device_port, 19200), 0) << out.text;
}

// A read that fits one slice goes to the driver with its own time-outs.
TEST_F(port_test, TimedReadSetsItsOwnConstantAndAnUntimedReadRestoresTheStandingOnes) {
    ASSERT_EQ(open_port(st(), device_port, 4800), 0) << out.text;
    std::uint8_t buf[40];
    EXPECT_EQ(read_port(st(), device_port, buf, 10, 20), 0);  // 2 x 10 + 30 ms
    port_timeouts timed = standing_timeouts(4800);
    timed.read_constant = 30;
    expect_timeouts(driver_timeouts(), timed, 4800);
    EXPECT_EQ(read_port(st(), device_port, buf, 1, 0), 0);
    expect_timeouts(driver_timeouts(), standing_timeouts(4800), 4800);
}

// A longer read goes in slices: the driver never waits longer than one
// before the interrupt key is looked for, and the slices keep the total.
TEST_F(port_test, LongReadWaitsInSlicesThatTheInterruptKeyCuts) {
    ASSERT_EQ(open_port(st(), device_port, 19200), 0) << out.text;
    std::uint8_t buf[200];
    EXPECT_EQ(read_port(st(), device_port, buf, sizeof buf, 100), 0);
    const COMMTIMEOUTS last = driver_timeouts();
    EXPECT_EQ(last.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_LE(last.ReadTotalTimeoutConstant, static_cast<DWORD>(interrupt_slice_ms));
    EXPECT_EQ(last.WriteTotalTimeoutMultiplier, standing_timeouts(19200).write_multiplier);

    // The console's handler marks the key on a thread of its own.
    interrupt_catching catching;
    std::thread key([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        mark_interrupt(SIGINT);
    });
    try {
        (void)read_port(st(), device_port, buf, 1, 5000);
        ADD_FAILURE() << "the read ran out its time-out instead of noticing the key";
    } catch (const interrupted& e) {
        EXPECT_EQ(e.signal, SIGINT);
    }
    key.join();
    const std::uint8_t b = 'z';
    const std::size_t before = device_log(0).size();
    EXPECT_THROW((void)write_port(st(), device_port, &b, 1), interrupted);
    EXPECT_EQ(device_log(before + 1).size(), before) << "a byte went out after the key";
}

// The rate change writes "host <rate>", closes the port and opens it again at
// once, and the open clears what is pending: the command must still arrive.
TEST_F(port_test, RateChangeNeverLosesTheHostCommand) {
    const std::size_t before = device_log(0).size();
    std::string sent;
    long rate = 19200;
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(open_port(st(), device_port, rate), 0) << i << out.text;
        rate = i % 2 == 0 ? 38400 : 9600;
        const std::string cmd = "host " + std::to_string(rate) + "\n";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(cmd.data());
        ASSERT_EQ(write_port(st(), device_port, bytes, static_cast<int>(cmd.size())), static_cast<int>(cmd.size()));
        sent += cmd;
        drain_port(st());
        close_port(st());
    }
    const std::string log = device_log(before + sent.size());
    EXPECT_EQ(log.substr(std::min(before, log.size())), sent);
    EXPECT_EQ(out.text, "");
}

}  // namespace
}  // namespace zuv
