// The COM port on Linux and other POSIX systems. A name COMn is found through
// the port map (a symlink ${XDG_CONFIG_HOME:-$HOME/.config}/zuvdigi/comn to
// the real device), else it is /dev/ttyS(n-1). The descriptor stays
// non-blocking: every wait is a poll() against a monotonic deadline, which is
// how the Windows total time-outs are kept, in slices short enough that the
// interrupt key is noticed even when its signal landed just before a poll.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/interrupt.h"
#include "serial/line_rate.h"
#include "serial/port_list.h"
#include "serial/port.h"
#include "serial/port_common.h"

namespace zuv {

namespace {

using clock_type = std::chrono::steady_clock;

int port_fd(const port_state& st) { return static_cast<int>(st.port.handle); }

// n of a name COMn (any letter case), 0 when the name has another form.
int com_number(const char* port) {
    if (std::strlen(port) < 4) return 0;
    for (int i = 0; i < 3; ++i)
        if ((port[i] | 0x20) != "com"[i]) return 0;
    int n = 0;
    for (const char* p = port + 3; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || n > 1000) return 0;
        n = n * 10 + (*p - '0');
    }
    return n;
}

// The device path of a port name: its port-map entry when there is one, else
// the serial port of the same number; any other name is taken as a path.
std::string device_path(const char* port) {
    const int n = com_number(port);
    if (n == 0) return port;
    const std::string dir = port_map_dir();
    if (!dir.empty()) {
        const std::string mapped = dir + "/com" + std::to_string(n);
        struct stat sb {};
        if (lstat(mapped.c_str(), &sb) == 0) return mapped;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

// Opens the device for this process alone: the non-blocking flock keeps out
// every other program using the same convention (root included), TIOCEXCL
// keeps out any later open by a non-root user.
int open_exclusive(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        errno = cause;
        return -1;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
        const int cause = errno;
        close(fd);
        errno = cause;
        return -1;
    }
    return fd;
}

speed_t standard_speed(long rate) {
    switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

// Raw 8N1 with the receiver on, modem-control lines ignored and no flow control.
void make_raw_8n1(termios& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | HUPCL);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

// DTR and RTS off where the device has them; a pseudo-terminal has none.
void hold_modem_lines_off(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);
}

// Milliseconds left until deadline, rounded up so a poll never ends early.
int ms_until(clock_type::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_type::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

// One slice of a wait until deadline; the interrupt is looked for before each.
int next_slice_ms(clock_type::time_point deadline) {
    throw_if_interrupted();
    return std::min(ms_until(deadline), interrupt_slice_ms);
}

// Removes NUL bytes in place, as the Windows driver does with fNull; returns the bytes kept.
int drop_nuls(std::uint8_t* buf, int len) {
    return static_cast<int>(std::remove(buf, buf + len, std::uint8_t{0}) - buf);
}

void release_port(port_state& st) {
    const int fd = port_fd(st);
    // The exclusive mode outlives the close on a pseudo-terminal whose master
    // stays open, and would lock out the next open by a non-root user.
    (void)ioctl(fd, TIOCNXCL);
    close(fd);
    st.port.handle = no_port_handle;
    st.port.rate = 0;
}

int write_failed(port_state& st, const char* port, const std::uint8_t* buf, int written, int len) {
    trace_write(st, port, buf, written, len, -3, last_error_text(st));
    return report_write_failure(st, written, len, port);
}

}  // namespace

int last_error_code() { return errno; }

const char* last_error_text(port_state& st) {
    const int code = errno;
    std::snprintf(st.port.error_text, sizeof st.port.error_text, "%s", std::strerror(code));
    errno = code;
    return st.port.error_text;
}

int open_port(port_state& st, const char* port, long rate) {
    if (!open_port_args_ok(st, port)) return -1;
    if (st.port.is_open()) close_port(st);
    const int fd = open_exclusive(device_path(port));
    if (fd < 0) {
        trace_open(st, port, rate, -2, last_error_text(st));
        report_open_failure(st, port);
        return -2;
    }
    st.port.handle = fd;
    if (set_comm_prop(st, port, rate) != 0) {
        if (st.port.is_open()) release_port(st);
        trace_open(st, port, rate, -3);
        return -3;
    }
    st.port.timeouts = standing_timeouts(st.port.rate);
    // A fresh descriptor has no output of its own; flushing that side would
    // discard what an earlier descriptor wrote and the device has not read yet.
    tcflush(fd, TCIFLUSH);
    trace_open(st, port, st.port.rate, 0);
    return 0;
}

int set_comm_prop(port_state& st, const char* port, long rate) {
    long table_rate = 0;
    if (const int bad = set_comm_prop_args(st, port, rate, table_rate); bad != 0) return bad;
    const int fd = port_fd(st);
    termios tio {};
    if (tcgetattr(fd, &tio) != 0) {
        report_get_state_failure(st, port);
        release_port(st);
        return -12;
    }
    make_raw_8n1(tio);
    const speed_t speed = standard_speed(table_rate);
    if (speed != B0) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0 || (speed == B0 && set_line_rate(fd, table_rate) != 0)) {
        report_set_state_failure(st, port);
        release_port(st);
        return -13;
    }
    hold_modem_lines_off(fd);
    st.port.rate = table_rate;
    return 0;
}

int read_port(port_state& st, const char* port, std::uint8_t* buf, int size, int timeout_ms) {
    check_read_args(st, port, buf, size);
    const port_timeouts t = read_timeouts(st.port.timeouts, timeout_ms);
    const auto deadline = clock_type::now() + std::chrono::milliseconds(total_read_ms(t, size));
    const int fd = port_fd(st);
    int got = 0;
    while (got < size) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, next_slice_ms(deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            fatal_read(st, port);
        }
        if (ready == 0) {
            if (clock_type::now() >= deadline) break;
            continue;
        }
        if ((pfd.revents & POLLIN) == 0) {
            // Hang-up or error with nothing left to read: the device is gone.
            errno = (pfd.revents & POLLNVAL) != 0 ? EBADF : EIO;
            fatal_read(st, port);
        }
        const ssize_t n = read(fd, buf + got, static_cast<std::size_t>(size - got));
        if (n > 0) {
            got += drop_nuls(buf + got, static_cast<int>(n));
        } else if (n == 0) {
            errno = EIO;  // end of file on a terminal: hung up
            fatal_read(st, port);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            fatal_read(st, port);
        }
        if (clock_type::now() >= deadline) break;
    }
    trace_read(st, port, buf, got, size, timeout_ms);
    return got;
}

int write_port(port_state& st, const char* port, const std::uint8_t* buf, int len) {
    if (const int bad = write_port_args(st, port, buf, len); bad != 0) return bad;
    // Nothing more goes to the device once the key was pressed.
    throw_if_interrupted();
    const auto deadline = clock_type::now() + std::chrono::milliseconds(total_write_ms(st.port.timeouts, len));
    const int fd = port_fd(st);
    int written = 0;
    while (written < len) {
        const ssize_t n = write(fd, buf + written, static_cast<std::size_t>(len - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return write_failed(st, port, buf, written, len);
        const int wait_ms = next_slice_ms(deadline);
        if (wait_ms == 0) break;  // cut short by the write time-out: still a success
        pollfd pfd{fd, POLLOUT, 0};
        if (poll(&pfd, 1, wait_ms) < 0 && errno != EINTR) return write_failed(st, port, buf, written, len);
        if ((pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (pfd.revents & POLLOUT) == 0) {
            errno = EIO;
            return write_failed(st, port, buf, written, len);
        }
    }
    trace_write(st, port, buf, written, len, len);
    return len;
}

void purge_port(port_state& st) {
    if (!st.port.is_open()) return;
    tcflush(port_fd(st), TCIOFLUSH);
    trace_purge(st);
}

void purge_input(port_state& st) {
    if (!st.port.is_open()) return;
    tcflush(port_fd(st), TCIFLUSH);
    trace_purge_input(st);
}

void drain_port(port_state& st) {
    if (!st.port.is_open()) return;
    const int fd = port_fd(st);
    // Bounded: a line that never empties (flow held by a broken adapter) must
    // not hang the utility. Polls the output queue instead of a blocking
    // tcdrain; a line that cannot tell its queue is not waited for at all,
    // since tcdrain has no bound (its close still lets the system drain it).
    const auto deadline = clock_type::now() + std::chrono::milliseconds(drain_limit_ms);
    for (;;) {
        throw_if_interrupted();
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0) return;
        if (queued <= 0 || clock_type::now() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void close_port(port_state& st) {
    if (!st.port.is_open()) return;
    release_port(st);
    trace_close(st);
}

}  // namespace zuv
