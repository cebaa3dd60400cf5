#pragma once
// What every mode of the device shares: speaking, the console prompt, going
// back to the console and hanging up.

#include <string_view>

#include "device.h"

namespace zuvsim {

inline constexpr char ack = 0x06;
inline constexpr char nak = 0x15;

void say(const device& dev, device_output& out, std::string_view text);
void say_prompt(const device& dev, device_output& out);
void enter_console(device& dev);
void hang_up(device& dev, device_output& out, std::string_view why);

// A reply byte for the trace: ACK, NAK or 0xHH.
std::string reply_name(char reply);

// The answer to an arrival (from 1) of the K-th packet or record: the
// script's when it has one for that arrival, else the device's own verdict.
struct scripted_answer {
    bool send = true;
    bool hang_up = false;
    char byte = 0;
};
scripted_answer answer_for(const reply_script& script, long number, int arrival, char normal);

}  // namespace zuvsim
