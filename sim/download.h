#pragma once
// The download receiver: framed packets (a 2-byte big-endian length, the
// payload, a 2-byte CRC), each answered ACK or NAK, carrying the "conf" and
// "rules" transfers announced by 21-byte command packets and closed by
// "-cestfini-".

#include <optional>
#include <string>

#include "script.h"
#include "sim_time.h"

namespace zuvsim {

struct device;
struct device_output;

struct download_options {
    reply_script script;
};

struct download_transfer {
    std::string name;
    long announced = -1;          // the size its command packet gave; -1: unreadable
    std::string bytes;
    long last_short_packet = 0;   // the last data packet if it was under 60 bytes, else 0
};

struct download_receiver {
    long number = 1;              // the packet being received, counted over the whole download
    int arrivals = 0;             // how often that packet has arrived so far
    std::string packet;           // its bytes so far
    time_point last_byte = never; // when its last byte arrived
    bool discarding = false;      // a faulty packet: swallow the rest until the line is quiet
    std::string verdict;          // what was wrong, when discarding
    std::optional<download_transfer> current;
    std::optional<std::string> conf;
    std::optional<std::string> rules;
    std::string expected_command = "conf";
};

// "download" was typed on the console.
void download_begin(device& dev);

// One byte for the receiver. Returns false when the receiver gave the byte
// back: it was an interrupt, and the device is at its console again.
bool download_byte(device& dev, char c, time_point at, device_output& out);

void download_tick(device& dev, time_point now, device_output& out);
time_point download_next_wake(const device& dev);
void download_host_closed(device& dev, device_output& out);

}  // namespace zuvsim
