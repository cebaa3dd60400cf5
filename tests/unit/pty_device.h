// The device's side of a pseudo-terminal held by the test, its other side
// published as COM1 in a private port map (XDG_CONFIG_HOME points at it for
// the test's duration).
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "serial/port.h"
#include "test_state.h"

namespace zuv::testing {

class pty_device_test : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        slave_ = ptsname(master_);
        char tmpl[] = "/tmp/zuv_port_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::filesystem::create_directories(dir_ / "zuvdigi");
        std::filesystem::create_symlink(slave_, dir_ / "zuvdigi" / "com1");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_xdg_ = old != nullptr;
        if (had_xdg_) old_xdg_ = old;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        close_port(con.st().link);
        if (master_ >= 0) close(master_);
        if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(dir_);
    }

    void device_sends(std::string_view bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything the host has written that the device has not read yet.
    std::string device_reads() {
        std::string got;
        char buf[4096];
        pollfd pfd{master_, POLLIN, 0};
        while (poll(&pfd, 1, 50) > 0 && (pfd.revents & POLLIN) != 0) {
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

    // TIOCEXCL as a newcomer to the port finds it.
    int exclusive_flag() {
        const int fd = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int excl = -1;
        if (fd >= 0) {
            (void)ioctl(fd, TIOCGEXCL, &excl);
            close(fd);
        }
        return excl;
    }

    console_fixture con;
    int master_ = -1;
    std::string slave_;
    std::filesystem::path dir_;

private:
    bool had_xdg_ = false;
    std::string old_xdg_;
};

}  // namespace zuv::testing
