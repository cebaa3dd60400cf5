#include "download.h"

#include <cstdio>

#include "crc16.h"
#include "device_common.h"
#include "received_view.h"

namespace zuvsim {

namespace {

constexpr std::size_t min_packet = 5;
constexpr std::size_t max_packet = 64;
constexpr std::size_t command_packet = 21;
constexpr std::size_t max_payload = 60;
constexpr std::size_t name_at = 2, name_width = 12, size_at = 14, size_width = 5;
constexpr std::string_view finish_name = "-cestfini-";
// A packet that stops short for longer than this is given up.
constexpr auto stall_limit = std::chrono::seconds(1);
// After a faulty packet the rest of what the host sent is swallowed, so the
// NAK goes out once the line has been quiet this long.
constexpr auto quiet_gap = milliseconds(20);

std::size_t length_field(const std::string& packet) {
    return static_cast<std::size_t>(static_cast<unsigned char>(packet[0]) << 8 | static_cast<unsigned char>(packet[1]));
}

std::string hex16(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", v);
    return buf;
}

// The text of a NUL-padded field, or nullopt when a non-NUL byte follows the padding.
std::optional<std::string_view> padded_text(std::string_view field) {
    const std::size_t end = field.find('\0');
    if (end == std::string_view::npos) return field;
    if (field.find_first_not_of('\0', end) != std::string_view::npos) return std::nullopt;
    return field.substr(0, end);
}

std::optional<std::string_view> command_name(const std::string& packet) {
    if (packet.size() != command_packet) return std::nullopt;
    const auto name = padded_text(std::string_view(packet).substr(name_at, name_width));
    if (!name || (*name != "conf" && *name != "rules" && *name != finish_name)) return std::nullopt;
    return name;
}

// The announced size: decimal digits without a leading zero, NUL padded; -1 otherwise.
long command_size(const std::string& packet) {
    const auto text = padded_text(std::string_view(packet).substr(size_at, size_width));
    if (!text || text->empty() || (text->size() > 1 && (*text)[0] == '0')) return -1;
    long size = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') return -1;
        size = size * 10 + (c - '0');
    }
    return size;
}

std::string packet_kind(const std::string& packet) {
    const auto name = command_name(packet);
    if (!name) return "data";
    if (*name == finish_name) return "command " + std::string(*name);
    return "command " + std::string(*name) + " size " + std::to_string(command_size(packet));
}

void fault(device_output& out, const std::string& what) { out.trace.push_back("download: fault: " + what); }

void check_announced_size(const download_transfer& t, device_output& out) {
    if (t.announced < 0) return;
    if (t.name == "conf" && t.announced != static_cast<long>(conf_record_size))
        fault(out, "conf announced " + std::to_string(t.announced) + " bytes, a configuration record has " +
                       std::to_string(conf_record_size));
    if (t.name == "rules" && (t.announced % static_cast<long>(rule_record_size) != 0 ||
                              t.announced > static_cast<long>(rule_record_size * max_rules)))
        fault(out, "rules announced " + std::to_string(t.announced) + " bytes, not a whole number of " +
                       std::to_string(rule_record_size) + "-byte records up to " + std::to_string(max_rules));
}

// A command packet ends the transfer before it.
void close_transfer(download_receiver& rx, device_output& out) {
    if (!rx.current) return;
    const download_transfer& t = *rx.current;
    if (t.announced >= 0 && static_cast<long>(t.bytes.size()) != t.announced)
        fault(out, t.name + " announced " + std::to_string(t.announced) + " bytes, received " +
                       std::to_string(t.bytes.size()));
    (t.name == "conf" ? rx.conf : rx.rules) = t.bytes;
    rx.current.reset();
}

void finish_download(device& dev, device_output& out) {
    download_receiver& rx = dev.download;
    if (!rx.conf) fault(out, "the download had no conf transfer");
    if (!rx.rules) fault(out, "the download had no rules transfer");
    if (rx.conf && rx.rules) {
        const long count = conf_rule_count(*rx.conf);
        if (count >= 0 && static_cast<std::size_t>(count) * rule_record_size != rx.rules->size())
            fault(out, "rule_count " + std::to_string(count) + " in conf, but the rules transfer has " +
                           std::to_string(rx.rules->size()) + " bytes");
    }
    out.download = download_record{rx.conf, rx.rules, describe_download(rx.conf, rx.rules)};
    out.trace.push_back("download: finished: conf " + (rx.conf ? std::to_string(rx.conf->size()) : "-") +
                        " bytes, rules " + (rx.rules ? std::to_string(rx.rules->size()) : "-") + " bytes");
    enter_console(dev);
}

void take_command(device& dev, const std::string& packet, device_output& out) {
    download_receiver& rx = dev.download;
    const std::string name(*command_name(packet));
    close_transfer(rx, out);
    if (name != rx.expected_command)
        fault(out, "command " + name + " where " + rx.expected_command + " was due");
    if (name == finish_name) {
        if (!padded_text(std::string_view(packet).substr(size_at, size_width)).value_or("?").empty())
            fault(out, "the -cestfini- packet has a size");
        finish_download(dev, out);
        return;
    }
    download_transfer t;
    t.name = name;
    t.announced = command_size(packet);
    if (t.announced < 0) fault(out, name + " size field is not a decimal size");
    check_announced_size(t, out);
    rx.current = t;
    rx.expected_command = name == "conf" ? "rules" : std::string(finish_name);
}

void take_data(download_receiver& rx, long number, const std::string& packet, device_output& out) {
    if (!rx.current) {
        fault(out, "data packet " + std::to_string(number) + " outside a transfer");
        return;
    }
    download_transfer& t = *rx.current;
    if (t.last_short_packet != 0)
        fault(out, "data packet " + std::to_string(number) + " follows the short packet " +
                       std::to_string(t.last_short_packet) + " of " + t.name);
    const std::string_view payload = std::string_view(packet).substr(2, packet.size() - 4);
    t.last_short_packet = payload.size() < max_payload ? number : 0;
    t.bytes += payload;
}

// Answers the packet received so far; good says its length and CRC were right.
void answer_packet(device& dev, bool good, const std::string& verdict, device_output& out) {
    download_receiver& rx = dev.download;
    const std::string packet = rx.packet;
    const long number = rx.number;
    ++rx.arrivals;
    const scripted_answer a = answer_for(dev.opt.download.script, number, rx.arrivals, good ? ack : nak);
    const std::string kind = good ? packet_kind(packet) : "?";
    const std::string length = packet.size() >= 2 ? std::to_string(length_field(packet)) : "?";
    const std::string reply = a.hang_up ? "hang up" : a.send ? reply_name(a.byte) : "none";
    out.trace.push_back("download: packet " + std::to_string(number) + ": " + kind + ", length " + length + ", " +
                        verdict + ", reply " + reply);
    rx.packet.clear();
    rx.discarding = false;
    rx.last_byte = never;
    if (a.hang_up) {
        hang_up(dev, out, "packet " + std::to_string(number) + " arrived");
        return;
    }
    if (a.send) say(dev, out, std::string_view(&a.byte, 1));
    // The host moves on only after an ACK, so only an ACK moves the count on.
    if (!a.send || a.byte != ack) return;
    ++rx.number;
    rx.arrivals = 0;
    if (!good) return;
    if (command_name(packet)) take_command(dev, packet, out);
    else take_data(rx, number, packet, out);
}

void start_discarding(download_receiver& rx, const std::string& verdict, device_output& out) {
    fault(out, "packet " + std::to_string(rx.number) + ": " + verdict);
    rx.discarding = true;
    rx.verdict = verdict;
}

void complete_packet(device& dev, device_output& out) {
    download_receiver& rx = dev.download;
    const std::size_t len = rx.packet.size();
    const std::uint16_t want = packet_crc(std::string_view(rx.packet).substr(0, len - 2));
    const std::uint16_t got = static_cast<std::uint16_t>(length_field(rx.packet.substr(len - 2)));
    if (want != got) start_discarding(rx, "bad crc " + hex16(got) + " (expected " + hex16(want) + ")", out);
    else answer_packet(dev, true, "good", out);
}

}  // namespace

void download_begin(device& dev) {
    dev.mode = device_mode::download;
    dev.download = download_receiver{};
}

bool download_byte(device& dev, char c, time_point at, device_output& out) {
    download_receiver& rx = dev.download;
    // A packet always starts with 0x00 (no packet is longer than 64 bytes), so
    // an interrupt there is a host that has given up and talks to the console.
    if (rx.packet.empty() && !rx.discarding && c == interrupt_char) {
        out.trace.push_back("download: interrupted by 0x03 at packet " + std::to_string(rx.number));
        enter_console(dev);
        return false;
    }
    rx.last_byte = at;
    if (rx.discarding) return true;
    rx.packet.push_back(c);
    if (rx.packet.size() < 2) return true;
    const std::size_t len = length_field(rx.packet);
    if (len < min_packet || len > max_packet) {
        start_discarding(rx, "bad length field " + std::to_string(len), out);
        return true;
    }
    if (rx.packet.size() == len) complete_packet(dev, out);
    return true;
}

void download_tick(device& dev, time_point now, device_output& out) {
    download_receiver& rx = dev.download;
    if (rx.last_byte == never) return;
    if (rx.discarding && now >= rx.last_byte + quiet_gap) {
        answer_packet(dev, false, rx.verdict, out);
    } else if (!rx.discarding && now > rx.last_byte + stall_limit) {
        const std::string verdict = "short: " + std::to_string(rx.packet.size()) + " of " +
                                    (rx.packet.size() >= 2 ? std::to_string(length_field(rx.packet)) : "?") + " bytes";
        fault(out, "packet " + std::to_string(rx.number) + " stopped " + verdict);
        answer_packet(dev, false, verdict, out);
    }
}

time_point download_next_wake(const device& dev) {
    const download_receiver& rx = dev.download;
    if (rx.last_byte == never) return never;
    if (rx.discarding) return rx.last_byte + quiet_gap;
    return rx.last_byte + stall_limit + std::chrono::microseconds(1);
}

void download_host_closed(device& dev, device_output& out) {
    out.trace.push_back("download: abandoned at packet " + std::to_string(dev.download.number) +
                        ": the host closed the port");
    enter_console(dev);
}

}  // namespace zuvsim
