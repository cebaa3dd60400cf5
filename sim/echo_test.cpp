#include "echo_test.h"

#include "device_common.h"

namespace zuvsim {

namespace {

constexpr std::string_view announcement = "\r\nBegin serial test: end with <ctrl>-c\r\n";

bool silenced(const device& dev, long count) {
    return dev.opt.echo.silent_after >= 0 && count > dev.opt.echo.silent_after;
}

}  // namespace

void echo_begin(device& dev, device_output& out) {
    dev.mode = device_mode::echo_test;
    dev.echo = echo_test{};
    out.trace.push_back("serialtest started");
    if (!dev.opt.echo.no_announce) say(dev, out, announcement);
    if (dev.opt.echo.hang_up_after == 0) hang_up(dev, out, "serialtest after 0 bytes");
}

void echo_byte(device& dev, char c, device_output& out) {
    echo_test& test = dev.echo;
    if (c == interrupt_char) {
        out.trace.push_back("serialtest ended by 0x03 after " + std::to_string(test.count) + " bytes");
        if (!silenced(dev, test.count + 1)) say_prompt(dev, out);
        enter_console(dev);
        return;
    }
    const long n = ++test.count;
    if (!silenced(dev, n)) {
        const auto wrong = dev.opt.echo.wrong.find(n);
        const char echo = wrong != dev.opt.echo.wrong.end() ? static_cast<char>(wrong->second) : c;
        say(dev, out, std::string_view(&echo, 1));
    }
    if (n == dev.opt.echo.hang_up_after) hang_up(dev, out, "serialtest after " + std::to_string(n) + " bytes");
}

void echo_host_closed(device& dev, device_output& out) {
    out.trace.push_back("serialtest: host left without 0x03 after " + std::to_string(dev.echo.count) + " bytes");
    enter_console(dev);
}

}  // namespace zuvsim
