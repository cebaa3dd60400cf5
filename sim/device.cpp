#include "device.h"

#include <cstdio>

#include "console.h"
#include "device_common.h"

namespace zuvsim {

namespace {

constexpr auto chatter_period = milliseconds(1);

// Returns false when the mode gave the byte back to the console.
bool mode_byte(device& dev, char c, time_point at, device_output& out) {
    switch (dev.mode) {
    case device_mode::console: console_byte(dev, c, at, out); return true;
    case device_mode::chatter: chatter_byte(dev, c, at, out); return true;
    case device_mode::mute: return true;
    case device_mode::download: return download_byte(dev, c, at, out);
    case device_mode::echo_test: echo_byte(dev, c, out); return true;
    case device_mode::boot_loader: return loader_byte(dev, c, at, out);
    }
    return true;
}

}  // namespace

void say(const device& dev, device_output& out, std::string_view text) {
    if (dev.opt.silent) return;
    for (char c : text) {
        out.bytes.push_back(c);
        if (dev.opt.nul_after_every_byte) out.bytes.push_back('\0');
    }
}

void say_prompt(const device& dev, device_output& out) {
    say(dev, out, "\r\n");
    say(dev, out, device_prompt);
}

void enter_console(device& dev) {
    dev.mode = device_mode::console;
    dev.line.clear();
}

void hang_up(device& dev, device_output& out, std::string_view why) {
    dev.hung_up = true;
    out.hang_up = true;
    out.trace.push_back("hang up: " + std::string(why));
}

std::string reply_name(char reply) {
    if (reply == ack) return "ACK";
    if (reply == nak) return "NAK";
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", static_cast<unsigned char>(reply));
    return buf;
}

scripted_answer answer_for(const reply_script& script, long number, int arrival, char normal) {
    const scripted_reply* r = script_reply(script, number, arrival);
    if (r == nullptr) return {true, false, normal};
    switch (r->what) {
    case scripted_reply::action::send_byte: return {true, false, static_cast<char>(r->byte)};
    case scripted_reply::action::silent: return {false, false, 0};
    case scripted_reply::action::hang_up: return {false, true, 0};
    }
    return {true, false, normal};
}

void device_start(device& dev, const device_options& opt) {
    dev.opt = opt;
    dev.rate = opt.rate;
    dev.mode = opt.chatter || opt.chatter_forever ? device_mode::chatter : device_mode::console;
    dev.next_chatter = dev.mode == device_mode::chatter ? time_point::min() : never;
}

std::size_t device_receive(device& dev, time_point at, std::string_view in, device_output& out) {
    std::size_t taken = 0;
    for (char c : in) {
        if (dev.hung_up) break;
        ++taken;
        ++dev.received;
        if (dev.opt.hang_up_after_rx > 0 && dev.received >= dev.opt.hang_up_after_rx) {
            hang_up(dev, out, std::to_string(dev.received) + " bytes received");
            break;
        }
        device_tick(dev, at, out);
        while (!dev.hung_up && !mode_byte(dev, c, at, out)) {
        }
    }
    return taken;
}

void device_host_closed(device& dev, time_point at, device_output& out) {
    out.trace.push_back("host closed the port");
    switch (dev.mode) {
    case device_mode::download: download_host_closed(dev, out); break;
    case device_mode::echo_test: echo_host_closed(dev, out); break;
    case device_mode::boot_loader: loader_host_closed(dev, at, out); break;
    default: break;
    }
}

void device_tick(device& dev, time_point now, device_output& out) {
    if (dev.hung_up) return;
    switch (dev.mode) {
    case device_mode::chatter:
        if (now >= dev.next_chatter) {
            say(dev, out, "x");
            dev.next_chatter = now + chatter_period;
        }
        break;
    case device_mode::download: download_tick(dev, now, out); break;
    case device_mode::boot_loader: loader_tick(dev, now, out); break;
    default: break;
    }
}

time_point device_next_wake(const device& dev) {
    if (dev.hung_up) return never;
    switch (dev.mode) {
    case device_mode::chatter: return dev.next_chatter;
    case device_mode::download: return download_next_wake(dev);
    case device_mode::boot_loader: return loader_next_wake(dev);
    default: return never;
    }
}

std::optional<std::vector<std::string>> device_loader_records(const device& dev) {
    if (!dev.loader.session) return std::nullopt;
    return dev.loader.accepted;
}

}  // namespace zuvsim
