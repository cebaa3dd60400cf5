#include "console.h"

#include <cstdlib>

#include "device_common.h"

namespace zuvsim {

namespace {

constexpr std::size_t max_line = 255;
constexpr long known_rates[] = {4800, 9600, 19200, 38400, 57600, 115200};

bool known_rate(long rate) {
    for (long r : known_rates)
        if (r == rate) return true;
    return false;
}

void answer_version(device& dev, device_output& out) {
    if (dev.opt.vanish_on_version) {
        dev.hung_up = true;
        out.hang_up = true;
        out.trace.push_back("vanish");
        return;
    }
    if (!dev.opt.banner.empty()) {
        say(dev, out, dev.opt.banner);
        return;
    }
    say(dev, out, "\r\n" + dev.opt.product + " APRS Digipeater\r\nVersion " + dev.opt.version);
    say_prompt(dev, out);
}

// "host <rate>": answered at the old rate, then the device moves to the new one.
void change_rate(device& dev, device_output& out, std::string_view arg) {
    const long rate = std::strtol(std::string(arg).c_str(), nullptr, 10);
    if (!known_rate(rate)) {
        out.trace.push_back("refused host " + std::string(arg));
        say(dev, out, "\r\nError: invalid host baud");
        say_prompt(dev, out);
        return;
    }
    say(dev, out, "\r\nhost baud " + std::to_string(rate) + "\r\n");
    dev.rate = rate;
    out.trace.push_back("host " + std::to_string(rate));
    if (dev.opt.no_prompt_after_rate) dev.mode = device_mode::mute;
}

void run_console_line(device& dev, time_point at, device_output& out) {
    const std::string cmd = dev.line;
    dev.line.clear();
    if (cmd.empty()) {
        say_prompt(dev, out);
    } else if (cmd == "version") {
        answer_version(dev, out);
    } else if (cmd.rfind("host ", 0) == 0) {
        change_rate(dev, out, std::string_view(cmd).substr(5));
    } else if (cmd == "download") {
        out.trace.push_back("download started");
        download_begin(dev);
    } else if (cmd == "serialtest") {
        echo_begin(dev, out);
    } else if (cmd == "reset") {
        loader_begin(dev, at, out);
    } else {
        out.trace.push_back("unknown command " + cmd);
        say(dev, out, "\r\n?");
        say_prompt(dev, out);
    }
}

}  // namespace

void console_byte(device& dev, char c, time_point at, device_output& out) {
    if (c == interrupt_char) {
        dev.line.clear();
        out.trace.push_back("interrupt");
    } else if (c == '\n') {
        run_console_line(dev, at, out);
    } else if (c != '\r' && dev.line.size() < max_line) {
        dev.line.push_back(c);
    }
}

void chatter_byte(device& dev, char c, time_point at, device_output& out) {
    if (c != interrupt_char || dev.opt.chatter_forever) return;
    enter_console(dev);
    console_byte(dev, c, at, out);
}

}  // namespace zuvsim
