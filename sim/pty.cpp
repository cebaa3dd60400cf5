#include "pty.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "serial/line_rate.h"

namespace zuvsim {

void fail(const std::string& what) {
    std::fprintf(stderr, "zuvsim: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

int open_master(std::string& slave_path) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) fail("cannot open a pseudo-terminal");
    if (grantpt(master) != 0 || unlockpt(master) != 0) fail("cannot unlock the pseudo-terminal");
    const char* name = ptsname(master);
    if (name == nullptr) fail("cannot name the pseudo-terminal");
    slave_path = name;
    (void)fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    (void)fcntl(master, F_SETFD, FD_CLOEXEC);
    return master;
}

// (A Linux pseudo-terminal always keeps 8 data bits and no parity, whatever
// either side asks for.)
void set_unconfigured_line(int master) {
    termios tio {};
    if (tcgetattr(master, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CSTOPB | CREAD | CLOCAL;
    cfsetispeed(&tio, B50);
    cfsetospeed(&tio, B50);
    (void)tcsetattr(master, TCSANOW, &tio);
}

namespace {

void make_parent_dirs(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        (void)mkdir(path.substr(0, at).c_str(), 0755);
}

}  // namespace

void publish(const std::string& link, const std::string& target) {
    make_parent_dirs(link);
    const std::string temp = link + ".zuvsim." + std::to_string(getpid());
    (void)unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0) fail("cannot create " + temp);
    if (rename(temp.c_str(), link.c_str()) != 0) fail("cannot publish " + link);
}

void unpublish(const std::string& link, const std::string& target) {
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string_view(buf, static_cast<std::size_t>(n)) == target) (void)unlink(link.c_str());
}

int hold_port(const std::string& slave_path) {
    const int fd = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) fail("cannot hold " + slave_path);
    return fd;
}

// On Linux the master reports the settings of the terminal's host side.
host_setting read_host_setting(int master) {
    termios tio {};
    if (tcgetattr(master, &tio) != 0) return {-1, "cannot read the line settings"};
    host_setting s;
    s.rate = zuv::get_line_rate(master);
    auto add = [&](const std::string& p) { s.problems += (s.problems.empty() ? "" : ", ") + p; };
    if ((tio.c_cflag & CSIZE) != CS8) add("not 8 data bits");
    if ((tio.c_cflag & PARENB) != 0) add("parity");
    if ((tio.c_cflag & CSTOPB) != 0) add("2 stop bits");
    if ((tio.c_cflag & CREAD) == 0) add("receiver off");
#ifdef CRTSCTS
    if ((tio.c_cflag & CRTSCTS) != 0) add("hardware flow control");
#endif
    if ((tio.c_iflag & (IXON | IXOFF)) != 0) add("software flow control");
    if ((tio.c_lflag & (ICANON | ECHO | ISIG)) != 0 || (tio.c_oflag & OPOST) != 0 ||
        (tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) != 0)
        add("not raw");
    return s;
}

std::string line_fault(const host_setting& setting, long rate, long other_rate) {
    std::string problems;
    if (setting.rate != rate && setting.rate != other_rate) problems = "rate " + std::to_string(setting.rate);
    if (!setting.problems.empty()) problems += (problems.empty() ? "" : ", ") + setting.problems;
    if (problems.empty()) return "";
    return "host line: " + problems + "; device expects " + std::to_string(rate) + " 8N1 raw";
}

}  // namespace zuvsim
