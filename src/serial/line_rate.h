#pragma once
// Rates on a POSIX terminal line beyond the fixed speed_t values (14400 and
// 56000 among the baud table's), through the system's arbitrary-rate interface.

namespace zuv {

// Sets both directions of the terminal fd to rate bits per second; 0, or -1
// with errno set where the system has no such interface or refuses the rate.
int set_line_rate(int fd, long rate);

// The output rate in force on fd in bits per second, standard or arbitrary;
// -1 with errno set when it cannot be read.
long get_line_rate(int fd);

}  // namespace zuv
