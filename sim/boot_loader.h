#pragma once
// The boot loader, entered by "reset": a short restart, the ENQ prompt
// repeated until SYN, the identifier, then Intel HEX record lines ending in
// CR, each answered by one byte.

#include <string>
#include <vector>

#include "script.h"
#include "sim_time.h"

namespace zuvsim {

struct device;
struct device_output;

enum class loader_step { none, reset, prompt, sync, id };

struct loader_options {
    reply_script script;
    bool no_prompt = false;
    bool no_sync_ack = false;
    bool no_id_ack = false;
    loader_step hang_up_at = loader_step::none;
};

enum class loader_state { restarting, prompting, identifying, loading };

struct boot_loader {
    loader_state state = loader_state::restarting;
    time_point restart_end = never;
    time_point next_prompt = never;
    long ignored = 0;                  // bytes that came while restarting
    std::string id;                    // the identifier so far
    time_point id_last_byte = never;
    std::string line;                  // the record line so far
    bool after_cr = false;             // the last byte ended a line with CR
    long last_answered = 0;            // the number of the record answered last
    long number = 1;                   // the record being received, from 1
    int arrivals = 0;                  // how often it has arrived so far
    bool session = false;              // a session ran since the emulator started
    std::vector<std::string> accepted; // the session's accepted records, as received
};

// "reset" was typed on the console.
void loader_begin(device& dev, time_point at, device_output& out);

// One byte for the boot loader. Returns false when it gave the byte back: a
// 0x03 after an upload, and the new firmware's console takes it.
bool loader_byte(device& dev, char c, time_point at, device_output& out);

void loader_tick(device& dev, time_point now, device_output& out);
time_point loader_next_wake(const device& dev);
void loader_host_closed(device& dev, time_point at, device_output& out);

}  // namespace zuvsim
