#pragma once
// The emulated Zuvedidude: a state machine fed with the bytes the host sent,
// each with the time it arrived, answering with the bytes the device would
// send. It knows nothing of terminals, clocks or files; zuvsim.cpp moves the
// bytes, keeps the time and writes what the device received. Its modes are the
// console, the download receiver, the echo test and the boot loader, each in a
// file of its own; this is what they share and how bytes reach them.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boot_loader.h"
#include "download.h"
#include "echo_test.h"
#include "sim_time.h"

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
    bool vanish_on_version = false;  // hangs up when asked for its version
    long hang_up_after_rx = 0;       // hangs up on the N-th byte received; 0: never
    download_options download;
    echo_options echo;
    loader_options loader;
};

enum class device_mode {
    console,      // the command line with its "Zizezu> " prompt
    chatter,      // talking; a 0x03 returns to the console
    mute,         // after a rate change, with no_prompt_after_rate
    download,     // receiving packets
    echo_test,    // echoing every byte until 0x03
    boot_loader,  // taking a firmware image
};

struct device {
    device_options opt;
    device_mode mode = device_mode::console;
    long rate = 19200;
    std::string line;      // the console line being typed
    long received = 0;     // bytes received from the host, all modes
    bool hung_up = false;  // the device has gone; zuvsim closes the line
    time_point next_chatter = never;
    download_receiver download;
    echo_test echo;
    boot_loader loader;
};

// A download that reached its end: the transfers as received and their view.
struct download_record {
    std::optional<std::string> conf;
    std::optional<std::string> rules;
    std::string view;
};

// What one step produced: bytes for the host, lines for the trace, and what
// is to be recorded.
struct device_output {
    std::string bytes;
    std::vector<std::string> trace;
    bool hang_up = false;  // close the line once `bytes` have gone out
    std::optional<download_record> download;
    std::optional<std::vector<std::string>> loader_records;  // a boot loader session ended
};

inline constexpr std::string_view device_prompt = "Zizezu> ";
inline constexpr char interrupt_char = 0x03;

void device_start(device& dev, const device_options& opt);

// The host's bytes arrived at `at`. Returns how many the device took: all of
// them, unless it hung up on one.
std::size_t device_receive(device& dev, time_point at, std::string_view in, device_output& out);

// The host closed the port (as far as the line can tell; a quick close and
// reopen is not seen).
void device_host_closed(device& dev, time_point at, device_output& out);

// Time passed; the device does what is due by now.
void device_tick(device& dev, time_point now, device_output& out);

// When the device next wants a tick, or `never`.
time_point device_next_wake(const device& dev);

// The records of the current or last boot loader session, if there was one.
std::optional<std::vector<std::string>> device_loader_records(const device& dev);

}  // namespace zuvsim
