#pragma once
// The pseudo-terminal that stands for the device's serial port: opening it,
// publishing its slave as a COM port, and reading back the line settings the
// host put on it.

#include <string>

#include "line.h"

namespace zuvsim {

[[noreturn]] void fail(const std::string& what);

// Opens a non-blocking master; slave_path gets the terminal the host opens.
int open_master(std::string& slave_path);

// Raw, but at 50 bit/s with 2 stop bits, so a host that sets neither its own
// rate nor 8N1 is seen.
void set_unconfigured_line(int master);

// Replaces whatever stood at link with a symlink to target, in one step.
void publish(const std::string& link, const std::string& target);
void unpublish(const std::string& link, const std::string& target);

// Opens the slave and locks it, as another program holding the port would.
int hold_port(const std::string& slave_path);

// The host side's settings now.
host_setting read_host_setting(int master);

// What is wrong with setting for a device at rate, or "". Right after a rate
// change either rate is right: the host may have written before or after it
// followed.
std::string line_fault(const host_setting& setting, long rate, long other_rate);

}  // namespace zuvsim
