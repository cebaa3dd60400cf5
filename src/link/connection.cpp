#include "link/connection.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "config/conf_record.h"
#include "diag/hexdump.h"
#include "link/device_command.h"
#include "link/link_state.h"
#include "serial/port.h"

namespace zuv {

namespace {

constexpr std::uint8_t version_request[] = {0x03, '\n', 'v', 'e', 'r', 's', 'i', 'o', 'n', '\n'};
static_assert(sizeof version_request == 10);
constexpr std::uint8_t prompt_request[] = {'\n'};

constexpr std::string_view product_name = "Zuvedidude";
constexpr std::string_view device_prompt = "Zizezu> ";

constexpr int drain_read_size = 40;
constexpr int drain_read_timeout_ms = 100;
constexpr int version_reply_size = 200;
constexpr int prompt_reply_size = 1024;
constexpr int reply_timeout_ms = 2000;

std::string_view reply_text(const link_state& st, int len) {
    return {reinterpret_cast<const char*>(st.reply_buf), static_cast<std::size_t>(len)};
}

int read_reply(link_state& st, int size) {
    const int got = read_port(st, st.port_name, st.reply_buf, size, reply_timeout_ms);
    st.reply_buf[got] = 0;
    return got;
}

// Lets whatever the device was sending pass, up to a bound.
void drain_line(link_state& st) {
    std::uint8_t scratch[drain_read_size];
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(connect_drain_limit_ms);
    while (read_port(st, st.port_name, scratch, drain_read_size, drain_read_timeout_ms) > 0 &&
           std::chrono::steady_clock::now() < limit) {
    }
}

int check_version_reply(link_state& st, int got) {
    const std::string_view reply = reply_text(st, got);
    const std::size_t product_pos = reply.find(product_name);
    if (product_pos == std::string_view::npos) {
        st.out.put("\n\a\aError: did not receive the Zuvedidude prompt!\nExpected: Zuvedidude\n");
        hexdump(&st.out, hexdump_short_header, "Got", st.reply_buf, got, 10);
        return connect_no_product;
    }
    const auto version = find_device_version(reply, product_pos);
    if (!version) {
        st.out.print("\n\a\aError: did not receive the Zuvedidude version (minimum %d.%d)!\n", min_version_major,
                     min_version_minor);
        return connect_bad_version;
    }
    if (!version_sufficient(*version)) {
        st.out.print("\n\a\aError: received Zuvedidude version %d.%d but minimal is %d.%d!\n", version->major,
                     version->minor, min_version_major, min_version_minor);
        return connect_bad_version;
    }
    return connect_ok;
}

int first_connection(link_state& st, long rate) {
    if (st.connected == 1) {
        st.out.put("\a\aError: already Connected!\n");
        return connect_already;
    }
    if (open_port(st, st.port_name, rate) != 0) {
        st.out.print("\a\aError: could not open COM port %s\n", st.port_name);
        return connect_no_port;
    }
    drain_line(st);
    purge_port(st);
    std::memcpy(st.reply_buf, version_request, sizeof version_request);
    if (write_port(st, st.port_name, st.reply_buf, sizeof version_request) < 0) {
        st.out.print("\n\a\aError: wrote interrupt character and version command, got error on port %s\n",
                     st.port_name);
        close_link(st);
        return connect_no_product;
    }
    const int got = read_reply(st, version_reply_size);
    mask_reply_nuls(st.reply_buf, got);
    if (const int result = check_version_reply(st, got); result != connect_ok) {
        close_link(st);
        return result;
    }
    st.out.print("\aConnected at %ld\n", rate);
    st.connected = 1;
    return connect_ok;
}

int reconnection(link_state& st, long rate) {
    // The rate-change command must reach the device before the port goes.
    drain_port(st);
    close_link(st);
    if (open_port(st, st.port_name, rate) != 0) {
        st.out.print("\a\aError: could not open COM port %s\n", st.port_name);
        return connect_no_port;
    }
    if (write_port(st, st.port_name, prompt_request, sizeof prompt_request) < 0) {
        st.out.print("\a\aError: wrote CR character, got error on port %s\n", st.port_name);
        close_link(st);
        return connect_no_line_feed;
    }
    const int got = read_reply(st, prompt_reply_size);
    if (reply_text(st, got).find(device_prompt) == std::string_view::npos) {
        st.out.put("\a\aError: did not receive the Zuvedidude prompt!\n");
        close_link(st);
        return connect_no_prompt;
    }
    st.out.print("\aConnected at %ld\n", rate);
    st.connected = 1;
    return connect_ok;
}

}  // namespace

std::optional<device_version> find_device_version(std::string_view reply, std::size_t product_pos) {
    constexpr std::string_view marker = "Version ";
    const std::size_t at = reply.find(marker, product_pos);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view rest = reply.substr(at + marker.size());
    const std::size_t dot = rest.find('.');
    return device_version{decimal_int(rest), dot == std::string_view::npos ? 0 : decimal_int(rest.substr(dot + 1))};
}

bool version_sufficient(device_version v) {
    return v.major > min_version_major || (v.major == min_version_major && v.minor >= min_version_minor);
}

void mask_reply_nuls(std::uint8_t* buf, int len) {
    for (int i = 0; i < len; ++i)
        if (buf[i] == 0) buf[i] = '#';
}

void close_link(link_state& st) {
    close_port(st);
    st.connected = 0;
}

int dev_connect(link_state& st, long rate, connect_mode mode) {
    st.out.print("Connecting at %ld...\n", rate);
    return mode == connect_mode::first ? first_connection(st, rate) : reconnection(st, rate);
}

void connect_command(link_state& st, const conf_record& conf, arg_cursor& args) {
    if (st.connected == 1) {
        st.out.put("\a\aError: already Connected!\n");
        return;
    }
    const auto port_token = args.next_number();
    if (!port_token) {
        st.out.put("\a\aError: missing argument: com_port\n");
        return;
    }
    const auto port = port_arg(st.out, *port_token);
    if (!port) return;
    char configured[24];
    std::snprintf(configured, sizeof configured, "%ld", configured_link_rate(conf));
    const auto rate_token = args.next_number();
    const auto rate = rate_arg(st.out, rate_token ? *rate_token : std::string_view(configured));
    if (!rate) return;
    std::snprintf(st.port_name, sizeof st.port_name, "COM%d", *port);
    // The version request changes nothing on the device.
    note_for_interrupt(st, "while connecting: the device was not changed");
    dev_connect(st, *rate, connect_mode::first);
}

void baud_command(link_state& st, arg_cursor& args) {
    if (st.connected != 1) {
        st.out.put("\a\aError: must be Connected before changing the Baud!\n");
        return;
    }
    const auto rate_token = args.next_number();
    if (!rate_token) {
        st.out.put("\a\aError: missing argument: baud\n");
        return;
    }
    const auto rate = rate_arg(st.out, *rate_token);
    if (!rate) return;
    note_for_interrupt(st, "while changing the rate to %ld: the device may run at %ld or still at %ld; connect again",
                       *rate, *rate, st.port.rate);
    char command[32];
    const int len = std::snprintf(command, sizeof command, "host %ld\n", *rate);
    if (write_port(st, st.port_name, reinterpret_cast<const std::uint8_t*>(command), len) < 0) {
        st.out.print("\a\aError: wrote Host Baud command, got error on port %s\n", st.port_name);
        close_link(st);
        return;
    }
    dev_connect(st, *rate, connect_mode::after_rate_change);
}

void disconnect_command(link_state& st) {
    if (st.connected != 1) {
        st.out.put("\a\aError: not Connected!\n");
        return;
    }
    close_link(st);
    st.out.put("Disconnected\n");
}

}  // namespace zuv
