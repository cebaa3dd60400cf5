#include "firmware/inhexverify.h"

#include "core/output.h"
#include "core/visible.h"

namespace zuv {

namespace {

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The pair at pos, or the characters left when the line ends inside it.
std::string_view field_at(std::string_view line, std::size_t pos) {
    return pos < line.size() ? line.substr(pos, 2) : std::string_view{};
}

// The sum of every pair after the ':', a last unpaired character being a
// pair of its own, as one byte.
unsigned record_sum(std::string_view line) {
    unsigned sum = 0;
    for (std::size_t pos = 1; pos < line.size(); pos += 2) sum += static_cast<unsigned>(hex_pair(field_at(line, pos)));
    return sum & 0xFFu;
}

bool type_known(std::string_view line) {
    return line.size() > 8 && line[7] == '0' && line[8] >= '0' && line[8] <= '5';
}

bool is_data_record(std::string_view line) { return line[7] == '0' && line[8] == '0'; }

// Load addresses of data records are multiples of 4.
bool address_aligned(std::string_view line) {
    constexpr std::string_view aligned_digits = "048Cc";
    return aligned_digits.find(line[6]) != std::string_view::npos;
}

// The first character after the ':' that is not a hexadecimal digit, if any.
std::size_t first_non_hex(std::string_view line) {
    for (std::size_t pos = 1; pos < line.size(); ++pos)
        if (hex_digit_value(line[pos]) < 0) return pos;
    return std::string_view::npos;
}

}  // namespace

int hex_pair(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    const bool negative = i < field.size() && field[i] == '-';
    if (negative) ++i;
    int value = 0;
    for (; i < field.size() && hex_digit_value(field[i]) >= 0; ++i) value = value * 16 + hex_digit_value(field[i]);
    return negative ? -value : value;
}

int check_hex_record(output& out, std::string_view line, unsigned long line_number) {
    if (const unsigned sum = record_sum(line); sum != 0) {
        out.print("\a\aError: checksum mismatch (0x%02x) for line %lu in Firmware file!\n", sum, line_number);
        return hex_bad_checksum;
    }
    if (!type_known(line)) {
        // A line too short to hold a type shows what it has, never the bytes past its end.
        const std::string_view type = field_at(line, 7);
        out.print("\a\aError: invalid type (%s) for line %lu in Firmware file!\n", visible(out, type).c_str(),
                  line_number);
        return hex_bad_type;
    }
    const int n = hex_pair(field_at(line, 1));
    if (static_cast<long>(line.size()) != 2L * n + static_cast<long>(hex_record_overhead)) {
        out.print("\a\aError: invalid record length (%u) for line %lu in Firmware file!\n", static_cast<unsigned>(n),
                  line_number);
        return hex_bad_length;
    }
    if (n > hex_data_max) {
        out.print("\a\aError: record length > 128 (%u) for line %lu in Firmware file!\n", static_cast<unsigned>(n),
                  line_number);
        return hex_too_long;
    }
    if (is_data_record(line) && !address_aligned(line)) {
        out.print("\a\aError: data record offset boundary error for line %lu in Firmware file!\n", line_number);
        return hex_misaligned;
    }
    // A field like " 1", "-1" or "0G" reads as a number, but the boot loader
    // would get characters it cannot take: such a record must not leave.
    if (const std::size_t bad = first_non_hex(line); bad != std::string_view::npos) {
        out.print("\a\aError: invalid hexadecimal digit (0x%02x) at position %u for line %lu in Firmware file!\n",
                  static_cast<unsigned>(static_cast<unsigned char>(line[bad])), static_cast<unsigned>(bad),
                  line_number);
        return hex_not_hex;
    }
    return 0;
}

int inhexverify(output& out, std::FILE* fp) {
    if (fp == nullptr) {
        out.put("inhexverify: Error: param fp is invalid\n");
        return hex_no_file;
    }
    std::rewind(fp);
    text_line_source src = firmware_line_source(fp);
    unsigned long lines = 0;
    int records = 0;
    for (;;) {
        std::string_view text;
        const line_read got = read_text_line(src, text);
        if (got == line_read::end) break;
        if (got == line_read::failed) {
            // A file that breaks off part way must not pass for a whole one.
            out.print("\a\aError: cannot read line %lu in Firmware file!\n", lines + 1);
            return hex_cannot_read;
        }
        ++lines;
        if (!is_hex_record(text)) continue;
        ++records;
        if (const int rc = check_hex_record(out, text, lines); rc != 0) return rc;
    }
    if (records == 0) {
        out.put("\a\aError: Firmware file is empty!\n");
        return hex_empty;
    }
    return records;
}

}  // namespace zuv
