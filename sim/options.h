#pragma once
// zuvsim's command line.

#include <string>

#include "device.h"
#include "line.h"

namespace zuvsim {

struct sim_config {
    device_options device;
    line_options line;
    std::string link;          // where the port is published
    std::string log_path;      // every byte received, as received
    std::string trace_path;    // one line per event
    std::string received_dir;  // where a finished download is recorded
    std::string image_dir;     // where a boot loader session is recorded
    int lifetime_s = 0;        // 0: until stopped
    bool hold = false;         // hold the port open and locked, as another program would
    bool share = false;        // let any user open the port
};

// Exits with 0 after --help, and with 2 and the usage on standard error
// after a bad command line.
sim_config parse_options(int argc, char** argv);

}  // namespace zuvsim
