#pragma once
// The serial line between the host and the device, as zuvsim plays it. Bytes
// read from the terminal "arrive" at the device, and the device's replies
// "leave" for the host, at times this model gives: at once, or paced at the
// device's rate (every byte takes 10 bit times), or one byte at a time with a
// pause, with NUL bytes added where the line is to be noisy. It only computes
// times; zuvsim reads and writes the terminal.

#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim_time.h"

namespace zuvsim {

struct line_options {
    bool pace = false;              // every byte takes one character time at the device's rate
    milliseconds split_gap{0};      // 0, or the pause between the bytes of one reply
    bool nul_storm = false;         // a NUL after every byte sent, and NUL bursts when idle
};

// The host's side of the line when it wrote: its rate and whatever else is
// wrong with its settings (empty when nothing is).
struct host_setting {
    long rate = -1;
    std::string problems;
};

// Bytes that arrived together, or the host's closing of the port.
struct arrival {
    time_point at;
    std::string bytes;
    host_setting setting;
    bool host_closed = false;
};

class serial_line {
public:
    explicit serial_line(line_options opt) : opt_(opt) {}

    void from_host(time_point read_at, std::string_view bytes, const host_setting& setting);
    void host_closed(time_point at);

    // The next arrival due by now at a device running at rate.
    std::optional<arrival> take_arrival(time_point now, long rate);
    time_point next_arrival(long rate) const;

    // A reply the device produced at `at`; hang_up closes the line after it.
    void to_host(time_point at, std::string_view bytes, bool hang_up, long rate);
    // Fills the idle line with a NUL burst when it is due.
    void idle(time_point now, long rate);

    struct departure {
        std::string bytes;
        bool hang_up = false;
    };
    // What is due for the host by now.
    departure take_departures(time_point now);
    time_point next_departure() const;
    time_point next_idle_burst() const;

    // Whatever the host sent that has not arrived yet.
    std::string undelivered() const;

private:
    struct chunk {
        time_point read_at;
        std::string bytes;
        std::size_t taken = 0;
        host_setting setting;
        bool host_closed = false;
    };
    struct outgoing {
        time_point due;
        char byte;
        bool hang_up;
    };
    time_point arrival_time(const chunk& c, long rate) const;

    line_options opt_;
    std::deque<chunk> incoming_;
    time_point last_arrival_ = time_point::min();
    std::deque<outgoing> outgoing_;
    time_point last_due_ = time_point::min();
    bool closing_ = false;
};

}  // namespace zuvsim
