#pragma once
// The one clock the emulator runs on. The device logic is handed times, never
// reads a clock itself, so every timed behaviour follows the bytes' arrival.

#include <chrono>

namespace zuvsim {

using sim_clock = std::chrono::steady_clock;
using time_point = sim_clock::time_point;
using duration = sim_clock::duration;
using std::chrono::milliseconds;

inline constexpr time_point never = time_point::max();

// One character on an 8N1 line: a start bit, 8 data bits and a stop bit.
inline duration character_time(long rate) {
    if (rate <= 0) return duration::zero();
    return std::chrono::duration_cast<duration>(std::chrono::nanoseconds(10'000'000'000LL / rate));
}

}  // namespace zuvsim
