#pragma once
// The emulated Zuvedidude: a small state machine fed with the bytes the host
// sent, answering with the bytes the device would send. It knows nothing of
// terminals or files; zuvsim.cpp moves the bytes. The download receiver, the
// echo test and the boot loader join as further modes.

#include <string>
#include <string_view>
#include <vector>

namespace zuvsim {

// Ways the device can be made to misbehave, and its identity.
struct device_options {
    std::string product = "Zuvedidude";
    std::string version = "2.8";
    std::string banner;              // when set, the whole answer to "version"
    long rate = 19200;               // the rate the device starts at
    bool silent = false;             // never answers
    bool chatter = false;            // talks without pause until interrupted
    bool chatter_forever = false;    // talks without pause whatever comes
    bool no_prompt_after_rate = false;
    bool nul_after_every_byte = false;
    bool vanish_on_version = false;  // disappears when asked for its version
};

enum class device_mode {
    console,  // the command line with its "Zizezu> " prompt
    chatter,  // talking; a 0x03 returns to the console
    mute,     // after a rate change, with no_prompt_after_rate
};

struct device {
    device_options opt;
    device_mode mode = device_mode::console;
    long rate = 19200;
    std::string line;      // the console line being typed
    bool vanished = false; // the device has gone; zuvsim closes the line
};

// What one step produced: bytes for the host, lines for the trace.
struct device_output {
    std::string bytes;
    std::vector<std::string> trace;
};

inline constexpr std::string_view device_prompt = "Zizezu> ";
inline constexpr char interrupt_char = 0x03;

void device_start(device& dev, const device_options& opt);

// The host sent these bytes.
void device_receive(device& dev, std::string_view in, device_output& out);

// Time passed; a chattering device says something. Returns the milliseconds
// until it wants the next tick, or -1 when it has nothing to say unprompted.
int device_tick(device& dev, device_output& out);

}  // namespace zuvsim
