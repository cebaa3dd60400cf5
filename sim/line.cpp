#include "line.h"

#include <algorithm>

namespace zuvsim {

namespace {

constexpr auto idle_burst_period = milliseconds(50);
constexpr std::string_view idle_burst("\0\0\0\0", 4);

}  // namespace

void serial_line::from_host(time_point read_at, std::string_view bytes, const host_setting& setting) {
    if (!bytes.empty()) incoming_.push_back({read_at, std::string(bytes), 0, setting, false});
}

void serial_line::host_closed(time_point at) { incoming_.push_back({at, {}, 0, {}, true}); }

// A byte arrives one character time after the one before it has arrived, or
// after it was read, whichever is later; a closing comes after the bytes
// written before it.
time_point serial_line::arrival_time(const chunk& c, long rate) const {
    const time_point after = std::max(last_arrival_, c.read_at);
    if (c.host_closed || !opt_.pace) return after;
    return after + character_time(rate);
}

std::optional<arrival> serial_line::take_arrival(time_point now, long rate) {
    if (incoming_.empty()) return std::nullopt;
    chunk& c = incoming_.front();
    const time_point at = arrival_time(c, rate);
    if (at > now) return std::nullopt;
    arrival a{at, {}, c.setting, c.host_closed};
    // Unpaced, a whole read arrives at once; paced, one byte at a time.
    const std::size_t count = opt_.pace ? 1 : c.bytes.size() - c.taken;
    a.bytes = c.bytes.substr(c.taken, count);
    c.taken += count;
    last_arrival_ = at;
    if (c.taken >= c.bytes.size()) incoming_.pop_front();
    return a;
}

time_point serial_line::next_arrival(long rate) const {
    return incoming_.empty() ? never : arrival_time(incoming_.front(), rate);
}

// The first byte leaves when it is produced or when the line is free, the
// others one character time (or the split gap, if longer) after the one before.
void serial_line::to_host(time_point at, std::string_view bytes, bool hang_up, long rate) {
    if (closing_) return;
    std::string wire;
    for (const char b : bytes) {
        wire.push_back(b);
        if (opt_.nul_storm) wire.push_back('\0');
    }
    if (wire.empty() && !hang_up) return;
    const duration char_time = opt_.pace ? character_time(rate) : duration::zero();
    const duration spacing = std::max(char_time, duration(opt_.split_gap));
    time_point due = std::max(at, last_due_);
    for (std::size_t i = 0; i < wire.size(); ++i) {
        due += i == 0 ? char_time : spacing;
        outgoing_.push_back({due, wire[i], false});
    }
    last_due_ = std::max(last_due_, due);
    if (hang_up) {
        outgoing_.push_back({std::max(at, last_due_), 0, true});
        closing_ = true;
    }
}

void serial_line::idle(time_point now, long rate) {
    if (opt_.nul_storm && outgoing_.empty() && now >= next_idle_burst()) {
        // The burst is line noise, not a reply: no NUL after each of its NULs.
        const bool storm = opt_.nul_storm;
        opt_.nul_storm = false;
        to_host(now, idle_burst, false, rate);
        opt_.nul_storm = storm;
    }
}

time_point serial_line::next_idle_burst() const {
    if (!opt_.nul_storm || !outgoing_.empty()) return never;
    return last_due_ == time_point::min() ? time_point::min() : last_due_ + idle_burst_period;
}

serial_line::departure serial_line::take_departures(time_point now) {
    departure d;
    while (!outgoing_.empty() && outgoing_.front().due <= now) {
        if (outgoing_.front().hang_up) {
            d.hang_up = true;
            outgoing_.clear();
            break;
        }
        d.bytes.push_back(outgoing_.front().byte);
        outgoing_.pop_front();
    }
    return d;
}

time_point serial_line::next_departure() const { return outgoing_.empty() ? never : outgoing_.front().due; }

std::string serial_line::undelivered() const {
    std::string s;
    for (const chunk& c : incoming_) s += c.bytes.substr(c.taken);
    return s;
}

}  // namespace zuvsim
