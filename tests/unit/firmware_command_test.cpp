// The firmware command and the endings of an upload that need no device: the
// refusals, the confirmation, a file that fails the check or cannot be opened,
// a port that cannot be opened, and a device that is gone when the port is
// opened the second time. Every ending closes the file.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "firmware/inhexverify.h"
#include "firmware/upload.h"
#include "temp_dir_test.h"
#include "test_state.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr const char* confirm_question =
    "\a\aWARNING! This will alter the Zuvedidude firmware!\nDo you want to continue (n or y)? [n]: ";
constexpr const char* declined = "Zuvedidude Firmware will NOT be updated!\n";
constexpr const char* failed = "Error: Firmware update failed!\n\tTry again!\n";
constexpr const char* upload_warning =
    "\n\a\aWARNING! The Zuvedidude Firmware is about to be updated!\nThis will take less than 5 minutes.\nDo NOT "
    "interrupt the process once started!\nIf power is interrupted during this process you may not be able\nto "
    "communicate with the Zuvedidude due to firmware corruption.\nIf this happens correct the power problem and "
    "restart this entire process.\n\nType the Enter key when you are ready to continue...";

// What the console still holds after the command.
std::string rest_of_input(std::FILE* in) {
    std::string rest;
    for (int c; (c = std::fgetc(in)) != EOF;) rest.push_back(static_cast<char>(c));
    return rest;
}

// Whether this process holds a descriptor for the file at path.
bool is_open_here(const std::string& path) {
    const fs::path target = fs::canonical(path);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(fd.path(), ec) == target) return true;
    }
    return false;
}

void run_command(testing::console_fixture& con, const char* line) {
    arg_cursor args(line);
    firmware_command(con.st().link, con.st().firmware, args);
}

TEST(FirmwareCommand, RefusalsReadNothingFromTheConsole) {
    struct refusal_case {
        const char* what;
        int connected;
        const char* args;
        const char* out;
    } cases[] = {
        {"while connected", 1, "1 fw.hex", "\a\aError: already Connected, Disconnect first!\n"},
        {"no arguments", 0, "", "\a\aError: missing arguments: com_port file_name\n"},
        {"separators only", 0, " ,\t", "\a\aError: missing arguments: com_port file_name\n"},
        {"port 0", 0, "0 fw.hex", "\a\aError: invalid COM port number (1..20): 0\n"},
        {"port 21", 0, "21,fw.hex", "\a\aError: invalid COM port number (1..20): 21\n"},
        {"comx", 0, "comx fw.hex", "\a\aError: invalid COM port number (1..20): comx\n"},
        {"no file name", 0, "com3", "\a\aError: missing argument: file_name\n"},
        {"no file name after a comma", 0, "3,", "\a\aError: missing argument: file_name\n"},
    };
    for (const refusal_case& c : cases) {
        testing::console_fixture con("y\n");
        con.st().link.connected = c.connected;
        run_command(con, c.args);
        EXPECT_EQ(con.out.text, c.out) << c.what;
        EXPECT_EQ(rest_of_input(con.input()), "y\n") << c.what;
        EXPECT_EQ(con.st().link.connected, c.connected) << c.what;
        EXPECT_FALSE(con.st().link.port.is_open()) << c.what;
    }
}

TEST(FirmwareCommand, OnlyAnAnswerStartingWithYGoesOn) {
    struct answer_case {
        std::string input;
        std::string out_after_question;
    } cases[] = {
        {"n\n", declined},
        {"\n", declined},
        {"no\n", declined},
        {" y\n", declined},
        {"", "\n"s + declined},  // end of input
        {"y\n", "\a\aError: cannot open missing.hex\n"s + failed},
        {"Y\n", "\a\aError: cannot open missing.hex\n"s + failed},
        {"yes please\r\n", "\a\aError: cannot open missing.hex\n"s + failed},
    };
    for (const answer_case& c : cases) {
        testing::console_fixture con(c.input);
        run_command(con, "1 missing.hex");
        EXPECT_EQ(con.out.text, confirm_question + c.out_after_question) << '"' << c.input << '"';
        EXPECT_EQ(con.st().link.connected, 0);
    }
}

TEST(FirmwareCommand, AnAnswerOfMoreThan39CharactersLeavesItsRest) {
    testing::console_fixture con(std::string(45, 'n') + "\nhelp\n");
    run_command(con, "1 fw.hex");
    EXPECT_EQ(con.out.text, confirm_question + std::string(declined));
    EXPECT_EQ(rest_of_input(con.input()), "nnnnnn\nhelp\n");
}

TEST(FirmwareCommand, TheFileNameKeepsBlanksAndIsKept) {
    struct name_case {
        const char* args;
        const char* name;
    } cases[] = {
        {"1,my firmware.hex", "my firmware.hex"},
        {"com2\tv2 9.hex", "v2 9.hex"},
        {"3  fw.hex", " fw.hex"},  // a file name starts right after the one separator
    };
    for (const name_case& c : cases) {
        testing::console_fixture con("n\n");
        run_command(con, c.args);
        EXPECT_STREQ(con.st().firmware.fw_filename, c.name) << c.args;
    }
}

class FirmwareEndings : public testing::temp_dir_test {
protected:
    void SetUp() override {
        temp_dir_test::SetUp();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_xdg_ = old != nullptr;
        if (had_xdg_) old_xdg_ = old;
        fs::create_directories(dir_ / "zuvdigi");
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        good_file_ = write("good.hex", ":10010000214601360121470136007EFE09D2190140\n:00000001FF\n");
    }
    void TearDown() override {
        if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        temp_dir_test::TearDown();
    }
    // COMn in the port map leads nowhere.
    void port_leads_nowhere(int n) {
        const fs::path link = dir_ / "zuvdigi" / ("com" + std::to_string(n));
        fs::remove(link);
        fs::create_symlink(dir_ / "no-such-device", link);
    }

    std::string good_file_;
    bool had_xdg_ = false;
    std::string old_xdg_;
};

TEST_F(FirmwareEndings, BeforeThePortIsOpened) {
    const std::string bad = write("bad.hex", ":10010000214601360121470136007EFE09D2190141\n");
    const std::string empty = write("empty.hex", "# no records\n");
    struct ending_case {
        const char* what;
        const char* file;
        int rc;
        std::string out;
    } cases[] = {
        {"no file name", nullptr, fw_no_file_name, "firmware: Error: param filename is invalid\n"},
        {"no such file", "no-such.hex", fw_cannot_open, "\a\aError: cannot open no-such.hex\n"},
        {"a directory", "/", fw_cannot_open, "\a\aError: cannot open /\n"},
        {"a checksum fault", bad.c_str(), fw_bad_file,
         "\a\aError: checksum mismatch (0x01) for line 1 in Firmware file!\n"
         "\a\aError: Firmware file has some kind of error!\n"},
        {"no records", empty.c_str(), fw_bad_file,
         "\a\aError: Firmware file is empty!\n\a\aError: Firmware file has some kind of error!\n"},
    };
    for (const ending_case& c : cases) {
        testing::console_fixture con("\n");
        std::snprintf(con.st().link.port_name, sizeof con.st().link.port_name, "COM9");
        EXPECT_EQ(firmware(con.st().link, con.st().firmware, 4, c.file), c.rc) << c.what;
        EXPECT_EQ(con.out.text, c.out) << c.what;
        EXPECT_STREQ(con.st().link.port_name, "COM9") << c.what << ": the port is never named";
        EXPECT_FALSE(con.st().link.port.is_open()) << c.what;
        if (c.file != nullptr && fs::is_regular_file(c.file)) {
            EXPECT_FALSE(is_open_here(c.file)) << c.what;
        }
    }
}

TEST_F(FirmwareEndings, APortThatCannotBeOpenedPrintsNoDisconnected) {
    port_leads_nowhere(7);
    testing::console_fixture con("\n");
    EXPECT_EQ(firmware(con.st().link, con.st().firmware, 7, good_file_.c_str()), fw_no_port);
    EXPECT_EQ(con.out.text,
              "\a\aError: cannot open COM port COM7: No such file or directory\n"
              "\a\aError: could not open COM port COM7\n");
    EXPECT_FALSE(is_open_here(good_file_));
}

// A device side that takes what the host writes and, once the interrupt has
// come, makes COM1 lead nowhere before it presses Enter for the operator: the
// port cannot be opened again after the reset. A chattering one talks
// without pause all the while.
class vanishing_device {
public:
    vanishing_device(const fs::path& port_map, int console_fd, bool chatter = false)
        : link_(port_map / "com1"), console_fd_(console_fd), chatter_(chatter) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        fs::create_symlink(ptsname(master_), link_);
        peer_ = std::thread([this] { serve(); });
    }
    ~vanishing_device() {
        finish();
        if (master_ >= 0) close(master_);
    }
    vanishing_device(const vanishing_device&) = delete;
    vanishing_device& operator=(const vanishing_device&) = delete;

    bool ready() const { return peer_.joinable(); }
    // What the device received, once it has seen the reset.
    const std::string& finish() {
        if (peer_.joinable()) peer_.join();
        return received_;
    }

private:
    void serve() {
        bool enter_pressed = false;
        // Bounded: the host's part is over within a few seconds.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (received_.find("reset\n") == std::string::npos && std::chrono::steady_clock::now() < give_up) {
            if (chatter_) (void)!write(master_, "chatter chatter\r\n", 17);
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, chatter_ ? 1 : 100) <= 0 || (pfd.revents & POLLIN) == 0) continue;
            char buf[256];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) received_.append(buf, static_cast<std::size_t>(n));
            if (!enter_pressed && received_.find("\x03\n") != std::string::npos) {
                fs::remove(link_);
                fs::create_symlink(link_.parent_path() / "gone", link_);
                enter_pressed = true;
                (void)!write(console_fd_, "\n", 1);
            }
        }
        close(console_fd_);
    }

    fs::path link_;
    int console_fd_;
    bool chatter_;
    int master_ = -1;
    std::string received_;
    std::thread peer_;
};

// The drain before the warning ends even when the device never falls silent.
TEST_F(FirmwareEndings, AFailedSecondOpeningPrintsNoDisconnected) {
    for (const bool chatter : {false, true}) {
        int console[2];
        ASSERT_EQ(pipe(console), 0);
        std::FILE* in = fdopen(console[0], "r");
        ASSERT_NE(in, nullptr);
        string_output out;
        string_output err;
        stdio_console operator_console(in, out);
        link_state link(operator_console, out, err);
        firmware_state fw;
        vanishing_device device(dir_ / "zuvdigi", console[1], chatter);
        ASSERT_TRUE(device.ready());
        EXPECT_EQ(firmware(link, fw, 1, good_file_.c_str()), fw_no_port) << "chatter " << chatter;
        EXPECT_EQ(device.finish(), "\x03\nreset\n") << "chatter " << chatter;
        std::fclose(in);
        EXPECT_EQ(out.text, upload_warning +
                                "\a\aError: cannot open COM port COM1: No such file or directory\n"
                                "\a\aError: could not open COM port COM1\n"s)
            << "chatter " << chatter;
        EXPECT_FALSE(link.port.is_open());
        EXPECT_EQ(link.connected, 0);
        EXPECT_FALSE(is_open_here(good_file_));
        fs::remove(dir_ / "zuvdigi" / "com1");
    }
}

}  // namespace
}  // namespace zuv
