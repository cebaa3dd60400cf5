#pragma once
// The device's console: command lines ending in a line feed, answered after
// the "Zizezu> " prompt, and the chatter some tests start the device in.

#include "sim_time.h"

namespace zuvsim {

struct device;
struct device_output;

void console_byte(device& dev, char c, time_point at, device_output& out);
void chatter_byte(device& dev, char c, time_point at, device_output& out);

}  // namespace zuvsim
