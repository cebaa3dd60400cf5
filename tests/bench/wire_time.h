#pragma once

namespace zuv::bench {

// The time in seconds that n characters take on the wire at rate: each is
// ten bits (a start bit, eight data bits, a stop bit).
inline double wire_seconds(double characters, long rate) { return characters * 10.0 / static_cast<double>(rate); }

}  // namespace zuv::bench
