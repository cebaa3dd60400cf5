#include "boot_loader.h"

#include "device_common.h"
#include "intel_hex.h"

namespace zuvsim {

namespace {

constexpr auto restart_time = milliseconds(100);
constexpr auto prompt_period = milliseconds(250);
// An identifier that stops short for longer than this is answered as wrong.
constexpr auto id_stall_limit = std::chrono::seconds(1);
constexpr std::string_view identifier = "DeReDi1.0";
constexpr char enq = 0x05;
constexpr char syn = 0x16;
constexpr char no_start_reply = 0x11;
constexpr char bad_checksum_reply = 0x12;
// A record line holds at most 255 data bytes; anything longer is kept only
// as far as needed to refuse it.
constexpr std::size_t max_record_line = 1024;

void trace(device_output& out, const std::string& what) { out.trace.push_back("boot loader: " + what); }

std::string hex_value(unsigned v, int digits) {
    static const char* const d = "0123456789abcdef";
    std::string s = "0x";
    for (int i = digits - 1; i >= 0; --i) s.push_back(d[(v >> (4 * i)) & 0xF]);
    return s;
}

// The identifier as received, unprintable bytes as \xHH.
std::string shown(std::string_view bytes) {
    std::string s = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) s.push_back(c);
        else s += "\\x" + hex_value(u, 2).substr(2);
    }
    return s + "\"";
}

std::string answer_text(const scripted_answer& a) {
    return a.hang_up ? "hang up" : a.send ? answer_name(a) : "none";
}

void start_prompting(device& dev, time_point at) {
    boot_loader& bl = dev.loader;
    bl.state = loader_state::prompting;
    bl.id.clear();
    bl.line.clear();
    bl.next_prompt = dev.opt.loader.no_prompt ? never : at;
}

void end_session(device& dev, const std::string& why, device_output& out) {
    trace(out, "session ended, " + why + ": " + std::to_string(dev.loader.accepted.size()) +
                   " records accepted; the new firmware starts");
    out.loader_records = dev.loader.accepted;
    enter_console(dev);
}

void take_sync(device& dev, device_output& out) {
    if (dev.opt.loader.hang_up_at == loader_step::sync) {
        hang_up(dev, out, "boot loader at sync");
        return;
    }
    trace(out, std::string("sync, reply ") + (dev.opt.loader.no_sync_ack ? "none" : "ACK"));
    if (!dev.opt.loader.no_sync_ack) say(dev, out, std::string_view(&ack, 1));
    dev.loader.state = loader_state::identifying;
    dev.loader.id.clear();
}

void take_identifier(device& dev, device_output& out) {
    boot_loader& bl = dev.loader;
    if (dev.opt.loader.hang_up_at == loader_step::id) {
        hang_up(dev, out, "boot loader at the identifier");
        return;
    }
    if (bl.id == identifier) {
        trace(out, "identifier " + shown(bl.id) + ", reply " + (dev.opt.loader.no_id_ack ? "none" : "ACK"));
        if (!dev.opt.loader.no_id_ack) say(dev, out, std::string_view(&ack, 1));
        bl.state = loader_state::loading;
    } else {
        trace(out, "fault: identifier " + shown(bl.id) + ", reply NAK");
        say(dev, out, std::string_view(&nak, 1));
    }
    bl.id.clear();
}

char normal_reply(hex_verdict v) {
    switch (v) {
    case hex_verdict::good: return ack;
    case hex_verdict::no_start: return no_start_reply;
    case hex_verdict::bad_checksum: return bad_checksum_reply;
    default: return nak;
    }
}

std::string record_text(const hex_check& c) {
    if (c.verdict != hex_verdict::good) return "?";
    return "type " + hex_value(c.record.type, 2).substr(2) + ", " + std::to_string(c.record.data.size()) +
           " bytes at " + hex_value(c.record.offset, 4);
}

void take_record(device& dev, const std::string& line, device_output& out) {
    boot_loader& bl = dev.loader;
    const long number = bl.number;
    const hex_check c = check_hex_record(line);
    const scripted_answer a = answer_for(dev.opt.loader.script, number, ++bl.arrivals, normal_reply(c.verdict));
    if (c.verdict != hex_verdict::good)
        trace(out, "fault: record " + std::to_string(number) + ": " + hex_verdict_text(c.verdict) + ": " +
                       shown(line.substr(0, 80)));
    trace(out, "record " + std::to_string(number) + ": " + record_text(c) + ", " + hex_verdict_text(c.verdict) +
                   ", reply " + answer_text(a));
    bl.last_answered = number;
    if (a.hang_up) {
        hang_up(dev, out, "record " + std::to_string(number) + " arrived");
        return;
    }
    if (a.send) say(dev, out, std::string(1, a.byte) + a.extra);
    // The host sends the next record only after an ACK.
    if (!a.send || a.byte != ack) return;
    if (c.verdict == hex_verdict::good) bl.accepted.push_back(line);
    ++bl.number;
    bl.arrivals = 0;
}

bool loading_byte(device& dev, char c, device_output& out) {
    boot_loader& bl = dev.loader;
    const bool after_cr = bl.after_cr;
    bl.after_cr = false;
    if (c == '\r') {
        bl.after_cr = true;
        const std::string line = bl.line;
        bl.line.clear();
        take_record(dev, line, out);
    } else if (c == '\n' && after_cr) {
        trace(out, "fault: record " + std::to_string(bl.last_answered) + " ended in CR LF, not CR");
    } else if (c == '\n') {
        trace(out, "fault: record " + std::to_string(bl.number) + " ended in LF, not CR");
        const std::string line = bl.line;
        bl.line.clear();
        take_record(dev, line, out);
    } else if (c == interrupt_char && bl.line.empty() && !bl.accepted.empty()) {
        // No record holds 0x03: a host that interrupts is talking to the new firmware.
        end_session(dev, "0x03 arrived", out);
        return false;
    } else if (bl.line.size() < max_record_line) {
        bl.line.push_back(c);
    }
    return true;
}

}  // namespace

void loader_begin(device& dev, time_point at, device_output& out) {
    out.trace.push_back("reset: restarting into the boot loader");
    if (dev.opt.loader.hang_up_at == loader_step::reset) {
        hang_up(dev, out, "boot loader at reset");
        return;
    }
    dev.mode = device_mode::boot_loader;
    dev.loader = boot_loader{};
    dev.loader.session = true;
    dev.loader.restart_end = at + restart_time;
}

bool loader_byte(device& dev, char c, time_point at, device_output& out) {
    boot_loader& bl = dev.loader;
    switch (bl.state) {
    case loader_state::restarting: ++bl.ignored; return true;
    case loader_state::prompting:
        if (c == syn) take_sync(dev, out);
        return true;
    case loader_state::identifying:
        bl.id.push_back(c);
        bl.id_last_byte = at;
        if (bl.id.size() == identifier.size()) take_identifier(dev, out);
        return true;
    case loader_state::loading: return loading_byte(dev, c, out);
    }
    return true;
}

void loader_tick(device& dev, time_point now, device_output& out) {
    boot_loader& bl = dev.loader;
    if (bl.state == loader_state::restarting && now >= bl.restart_end) {
        trace(out, "started, " + std::to_string(bl.ignored) + " bytes ignored while restarting");
        if (dev.opt.loader.hang_up_at == loader_step::prompt) {
            hang_up(dev, out, "boot loader at the prompt");
            return;
        }
        start_prompting(dev, bl.restart_end);
        if (dev.opt.loader.no_prompt) trace(out, "not prompting");
        else trace(out, "prompting with ENQ");
    }
    if (bl.state == loader_state::prompting && now >= bl.next_prompt) {
        say(dev, out, std::string_view(&enq, 1));
        bl.next_prompt = now + prompt_period;
    }
    if (bl.state == loader_state::identifying && !bl.id.empty() && now > bl.id_last_byte + id_stall_limit) {
        trace(out, "fault: identifier " + shown(bl.id) + " stopped short, reply NAK");
        say(dev, out, std::string_view(&nak, 1));
        bl.id.clear();
    }
}

time_point loader_next_wake(const device& dev) {
    const boot_loader& bl = dev.loader;
    switch (bl.state) {
    case loader_state::restarting: return bl.restart_end;
    case loader_state::prompting: return bl.next_prompt;
    case loader_state::identifying:
        return bl.id.empty() ? never : bl.id_last_byte + id_stall_limit + std::chrono::microseconds(1);
    case loader_state::loading: return never;
    }
    return never;
}

void loader_host_closed(device& dev, time_point at, device_output& out) {
    boot_loader& bl = dev.loader;
    if (bl.state == loader_state::loading && !bl.accepted.empty()) {
        end_session(dev, "the host closed the port", out);
    } else if (bl.state == loader_state::identifying || bl.state == loader_state::loading) {
        trace(out, "the host closed the port before any record: prompting again");
        start_prompting(dev, at);
    }
}

}  // namespace zuvsim
