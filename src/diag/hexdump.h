#pragma once
// Shows a byte buffer as rows of sixteen: offset in decimal and hexadecimal,
// the bytes in hexadecimal, the same bytes as characters.

#include <cstdint>

namespace zuv {

class output;

// Header-line choices of hdr_flags.
inline constexpr int hexdump_short_header = 1;  // label and length only
inline constexpr int hexdump_length_only = 2;   // length only, when bit 1 is clear

// Prints the header line chosen by hdr_flags, then the rows; when hdr_every is
// not 0 the column header stands before row 0 and every hdr_every-th row.
// With no stream nothing is printed.
void hexdump(output* fp, int hdr_flags, const char* label, const std::uint8_t* buf, int len, int hdr_every);

}  // namespace zuv
