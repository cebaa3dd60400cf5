// Kept apart from the port code: Linux's termios2 comes from the kernel's
// headers, which clash with the C library's <termios.h>.
#include "serial/line_rate.h"

#include <cerrno>

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#elif defined(__APPLE__)
#include <IOKit/serial/ioss.h>
#include <sys/ioctl.h>
#include <termios.h>
#else
#include <termios.h>
#endif

namespace zuv {

#if defined(__linux__)

int set_line_rate(int fd, long rate) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(rate);
    tio.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : -1;
}

long get_line_rate(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    return static_cast<long>(tio.c_ospeed);
}

#elif defined(__APPLE__)

int set_line_rate(int fd, long rate) {
    speed_t speed = static_cast<speed_t>(rate);
    return ioctl(fd, IOSSIOSPEED, &speed) == 0 ? 0 : -1;
}

long get_line_rate(int fd) {
    struct termios tio {};
    if (tcgetattr(fd, &tio) != 0) return -1;
    return static_cast<long>(cfgetospeed(&tio));  // speed_t holds the rate itself here
}

#else

int set_line_rate(int, long) {
    errno = EINVAL;
    return -1;
}

long get_line_rate(int fd) {
    struct termios tio {};
    if (tcgetattr(fd, &tio) != 0) return -1;
    struct speed_row {
        speed_t speed;
        long rate;
    };
    static constexpr speed_row rows[] = {{B110, 110},     {B300, 300},     {B600, 600},     {B1200, 1200},
                                         {B2400, 2400},   {B4800, 4800},   {B9600, 9600},   {B19200, 19200},
                                         {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    for (const speed_row& row : rows)
        if (row.speed == cfgetospeed(&tio)) return row.rate;
    errno = EINVAL;
    return -1;
}

#endif

}  // namespace zuv
