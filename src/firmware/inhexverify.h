#pragma once
// The Intel HEX check of a firmware file: every record is checked before a
// single byte goes to the device, and the record count is the upload's 100 %.

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "core/text_lines.h"

namespace zuv {

class output;

// inhexverify's results below 1; the upload treats them all alike.
inline constexpr int hex_no_file = -1;
inline constexpr int hex_bad_checksum = -2;
inline constexpr int hex_bad_type = -3;
inline constexpr int hex_bad_length = -4;
inline constexpr int hex_too_long = -5;
inline constexpr int hex_misaligned = -6;
inline constexpr int hex_empty = -7;
inline constexpr int hex_not_hex = -8;
inline constexpr int hex_cannot_read = -9;

// The most data bytes one record may carry, and the characters a record has
// besides its data: ':', the length, address, type and checksum pairs.
inline constexpr int hex_data_max = 128;
inline constexpr std::size_t hex_record_overhead = 11;

// The one way both the check and the upload read a firmware file, so that
// their records and line numbers agree.
inline text_line_source firmware_line_source(std::FILE* fp) { return text_line_source{fp, long_text_line_max}; }

// Lines that start with ':' are records; every other line is passed over.
inline bool is_hex_record(std::string_view line) { return !line.empty() && line[0] == ':'; }

// A field of up to two characters read as a hexadecimal number: leading
// blanks or tabs are skipped, a leading '-' negates, and the reading stops at
// the first character that is not a hexadecimal digit.
int hex_pair(std::string_view field);

// Checks one record line; 0, or a negative code after its message.
int check_hex_record(output& out, std::string_view line, unsigned long line_number);

// Rewinds fp and checks every record of it: the record count (at least 1), or
// a negative code after one message.
int inhexverify(output& out, std::FILE* fp);

}  // namespace zuv
