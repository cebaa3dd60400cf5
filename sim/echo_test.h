#pragma once
// The echo test: every byte that arrives goes back, one for one, until 0x03.

#include <map>

namespace zuvsim {

struct device;
struct device_output;

struct echo_options {
    std::map<long, unsigned char> wrong;  // the echo of the N-th byte (from 1) is this byte instead
    long silent_after = -1;               // echo this many bytes, then say nothing; -1: never silent
    bool no_announce = false;
    long hang_up_after = -1;              // hang up after echoing this many bytes; -1: never
};

struct echo_test {
    long count = 0;  // bytes received since the test began, 0x03 not included
};

// "serialtest" was typed on the console.
void echo_begin(device& dev, device_output& out);
void echo_byte(device& dev, char c, device_output& out);
void echo_host_closed(device& dev, device_output& out);

}  // namespace zuvsim
