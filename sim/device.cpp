#include "device.h"

#include <cstdlib>

namespace zuvsim {

namespace {

constexpr std::size_t max_line = 255;
constexpr int chatter_period_ms = 1;
constexpr long known_rates[] = {4800, 9600, 19200, 38400, 57600, 115200};

bool known_rate(long rate) {
    for (long r : known_rates)
        if (r == rate) return true;
    return false;
}

void say(const device& dev, device_output& out, std::string_view text) {
    if (dev.opt.silent) return;
    for (char c : text) {
        out.bytes.push_back(c);
        if (dev.opt.nul_after_every_byte) out.bytes.push_back('\0');
    }
}

void prompt(const device& dev, device_output& out) {
    say(dev, out, "\r\n");
    say(dev, out, device_prompt);
}

void answer_version(device& dev, device_output& out) {
    if (dev.opt.vanish_on_version) {
        out.trace.push_back("vanish");
        dev.vanished = true;
        return;
    }
    if (!dev.opt.banner.empty()) {
        say(dev, out, dev.opt.banner);
        return;
    }
    say(dev, out, "\r\n" + dev.opt.product + " APRS Digipeater\r\nVersion " + dev.opt.version);
    prompt(dev, out);
}

// "host <rate>": answered at the old rate, then the device moves to the new one.
void change_rate(device& dev, device_output& out, std::string_view arg) {
    const long rate = std::strtol(std::string(arg).c_str(), nullptr, 10);
    if (!known_rate(rate)) {
        out.trace.push_back("refused host " + std::string(arg));
        say(dev, out, "\r\nError: invalid host baud");
        prompt(dev, out);
        return;
    }
    say(dev, out, "\r\nhost baud " + std::to_string(rate) + "\r\n");
    dev.rate = rate;
    out.trace.push_back("host " + std::to_string(rate));
    if (dev.opt.no_prompt_after_rate) dev.mode = device_mode::mute;
}

void run_console_line(device& dev, device_output& out) {
    const std::string cmd = dev.line;
    dev.line.clear();
    if (cmd.empty()) {
        prompt(dev, out);
    } else if (cmd == "version") {
        answer_version(dev, out);
    } else if (cmd.rfind("host ", 0) == 0) {
        change_rate(dev, out, std::string_view(cmd).substr(5));
    } else {
        out.trace.push_back("unknown command " + cmd);
        say(dev, out, "\r\n?");
        prompt(dev, out);
    }
}

void console_byte(device& dev, char c, device_output& out) {
    if (c == interrupt_char) {
        dev.line.clear();
        out.trace.push_back("interrupt");
    } else if (c == '\n') {
        run_console_line(dev, out);
    } else if (c != '\r' && dev.line.size() < max_line) {
        dev.line.push_back(c);
    }
}

void chatter_byte(device& dev, char c, device_output& out) {
    if (c != interrupt_char || dev.opt.chatter_forever) return;
    dev.mode = device_mode::console;
    console_byte(dev, c, out);
}

}  // namespace

void device_start(device& dev, const device_options& opt) {
    dev.opt = opt;
    dev.rate = opt.rate;
    dev.mode = opt.chatter || opt.chatter_forever ? device_mode::chatter : device_mode::console;
}

void device_receive(device& dev, std::string_view in, device_output& out) {
    for (char c : in) {
        if (dev.vanished) return;
        switch (dev.mode) {
        case device_mode::console:
            console_byte(dev, c, out);
            break;
        case device_mode::chatter:
            chatter_byte(dev, c, out);
            break;
        case device_mode::mute:
            break;
        }
    }
}

int device_tick(device& dev, device_output& out) {
    if (dev.mode != device_mode::chatter) return -1;
    say(dev, out, "x");
    return chatter_period_ms;
}

}  // namespace zuvsim
