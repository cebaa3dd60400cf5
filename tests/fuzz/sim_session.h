// Drives zuvsim's device the way zuvsim.cpp does, from a fuzzer's input read
// as what the host does on the line. The first byte of the input is the
// escape E, picked by whoever wrote the input; after it every byte is one
// byte the host sends, one character time after the last, except that E
// followed by
//   E    sends E itself,
//   0x00 closes the port on the host side,
//   0x01 sends the CRC of the download packet received so far, as a host
//        would append it,
//   n    keeps the line quiet for n * 10 ms.
// So a recorded stream is a seed as it stands, behind an escape byte it does
// not hold, and pauses and hang-ups cost the mutator two bytes. A seed whose
// packets end in E 0x01 instead of their CRC stays a stream of good packets
// however the mutator changes their payload.
//
// Every step is handed to a check with the mode the device was in before it.
// The device is ticked at each time it asked for, as zuvsim does, and the
// next time it asks for must then lie later: one that does not would spin
// zuvsim's loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "crc16.h"
#include "device.h"

namespace zuv::fuzz {

class sim_session {
public:
    explicit sim_session(const zuvsim::device_options& opt) { zuvsim::device_start(dev, opt); }

    template <class Check>
    void send(std::string_view bytes, Check&& check) {
        for (const char c : bytes) {
            if (dev.hung_up) return;
            wait(zuvsim::character_time(dev.rate), check);
            const zuvsim::device_mode before = dev.mode;
            zuvsim::device_output out;
            const std::size_t taken = zuvsim::device_receive(dev, now, std::string_view(&c, 1), out);
            if (taken != 1) std::abort();  // a device that has not hung up takes every byte
            check(out, before);
        }
    }

    // The line stays quiet for d; the device does all that is due meanwhile.
    template <class Check>
    void wait(zuvsim::duration d, Check&& check) {
        const zuvsim::time_point until = now + d;
        for (;;) {
            const zuvsim::time_point wake = zuvsim::device_next_wake(dev);
            if (dev.hung_up || wake > until) break;
            const zuvsim::device_mode before = dev.mode;
            zuvsim::device_output out;
            zuvsim::device_tick(dev, wake, out);
            check(out, before);
            if (zuvsim::device_next_wake(dev) <= wake) std::abort();
            now = wake;
        }
        now = until;
    }

    template <class Check>
    void host_closed(Check&& check) {
        if (dev.hung_up) return;
        const zuvsim::device_mode before = dev.mode;
        zuvsim::device_output out;
        zuvsim::device_host_closed(dev, now, out);
        check(out, before);
    }

    // Plays the input's events, then keeps the line quiet long enough for
    // every time-out of the device to have passed.
    template <class Check>
    void play(const std::uint8_t* data, std::size_t size, Check&& check) {
        if (size == 0) return;
        const auto escape = static_cast<char>(data[0]);
        for (std::size_t i = 1; i < size; ++i) {
            const auto c = static_cast<char>(data[i]);
            if (c != escape || i + 1 == size) {
                send(std::string_view(&c, 1), check);
                continue;
            }
            const auto what = static_cast<char>(data[++i]);
            if (what == escape) send(std::string_view(&what, 1), check);
            else if (what == '\0') host_closed(check);
            else if (what == '\x01') send(crc_of(dev.download.packet), check);
            else wait(zuvsim::milliseconds(10 * static_cast<unsigned char>(what)), check);
        }
        wait(std::chrono::seconds(10), check);
    }

    static std::string crc_of(std::string_view packet) {
        const std::uint16_t crc = zuvsim::packet_crc(packet);
        return {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
    }

    zuvsim::device dev;
    zuvsim::time_point now{};
};

}  // namespace zuv::fuzz
