#pragma once
// Intel HEX records as the boot loader takes them, and the memory image the
// accepted records load: data bytes by address from the lowest address loaded
// to the highest, gaps filled with 0x00.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zuvsim {

enum class hex_type : std::uint8_t {
    data = 0,
    end_of_file = 1,
    segment_address = 2,
    start_segment = 3,
    linear_address = 4,
    start_linear = 5,
};

struct hex_record {
    std::uint8_t type = 0;
    std::uint16_t offset = 0;
    std::vector<std::uint8_t> data;
};

enum class hex_verdict {
    good,
    no_start,      // the line does not begin with ':'
    not_hex,       // a character that is no hexadecimal digit, or an odd count
    bad_checksum,  // the bytes do not sum to 0 modulo 256
    bad_length,    // the length byte disagrees with the line, or the type's data is the wrong size
    bad_type,      // a type other than 00 to 05
};

struct hex_check {
    hex_verdict verdict = hex_verdict::good;
    hex_record record;
};

// line without its line end.
hex_check check_hex_record(std::string_view line);

const char* hex_verdict_text(hex_verdict v);

struct hex_image {
    std::uint32_t start = 0;          // address of bytes[0]
    std::vector<std::uint8_t> bytes;
    std::string error;                // set when the records load no sensible image
};

// lines: accepted record lines, in the order received.
hex_image lay_out_image(const std::vector<std::string>& lines);

}  // namespace zuvsim
