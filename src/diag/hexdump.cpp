#include "diag/hexdump.h"

#include <cstdio>
#include <cstring>

#include "core/output.h"

namespace zuv {

namespace {

constexpr const char* column_header =
    "\nDec  Hex |  0  1  2  3  4  5  6  7    8  9  a  b  c  d  e  f | 0123456789abcdef\n";
constexpr int row_bytes = 16;
constexpr int hex_area_start = 11;
constexpr int bar_column = 61;
constexpr int text_column = 63;

void print_header_line(output& out, int hdr_flags, const char* label, const std::uint8_t* buf, int len) {
    // An empty label is still a label: it only loses its separator.
    const bool has_label = label != nullptr;
    const char* text = has_label ? label : "";
    const char* separator = has_label && *label != '\0' ? ": " : "";
    if (hdr_flags == 0) {
        if (has_label) {
            out.print("hexdump: %s%sbuffer addr 0x%p, length %d (0x%x):\n", text, separator,
                      static_cast<const void*>(buf), len, static_cast<unsigned>(len));
        } else {
            out.print("hexdump: buffer addr 0x%p, length %d (0x%x):\n", static_cast<const void*>(buf), len,
                      static_cast<unsigned>(len));
        }
    } else if ((hdr_flags & hexdump_short_header) != 0) {
        if (has_label) {
            out.print("%s%slength %d (0x%x):\n", text, separator, len, static_cast<unsigned>(len));
        } else {
            out.print("hexdump: length %d (0x%x):\n", len, static_cast<unsigned>(len));
        }
    } else if ((hdr_flags & hexdump_length_only) != 0) {
        out.print("length %d (0x%x):\n", len, static_cast<unsigned>(len));
    }
}

int hex_column(int k) { return k < 8 ? hex_area_start + 3 * k : hex_area_start + 2 + 3 * k; }

void print_row(output& out, int offset, const std::uint8_t* bytes, int count) {
    static constexpr char digits[] = "0123456789abcdef";
    char line[128];
    std::memset(line, ' ', sizeof line);
    // The prefix widens past column 10 from offset 10000 on; the rest follows it.
    const int prefix = std::snprintf(line, sizeof line, "%4d %04x| ", offset, static_cast<unsigned>(offset));
    const int shift = prefix - hex_area_start;
    line[prefix] = ' ';
    for (int k = 0; k < count; ++k) {
        const int col = hex_column(k) + shift;
        line[col] = digits[bytes[k] >> 4];
        line[col + 1] = digits[bytes[k] & 0x0f];
    }
    line[bar_column + shift] = '|';
    for (int k = 0; k < count; ++k) {
        const std::uint8_t b = bytes[k];
        line[text_column + shift + k] = b >= 0x20 && b <= 0x7e ? static_cast<char>(b) : '.';
    }
    const int end = text_column + shift + count;
    line[end] = '\n';
    out.write(line, static_cast<std::size_t>(end + 1));
}

}  // namespace

void hexdump(output* fp, int hdr_flags, const char* label, const std::uint8_t* buf, int len, int hdr_every) {
    if (fp == nullptr) return;
    output& out = *fp;
    if (buf == nullptr) {
        out.put("hexdump: invalid param buf ptr\n");
        return;
    }
    if (len < 0) {
        out.print("hexdump: invalid param len %d\n", len);
        return;
    }
    print_header_line(out, hdr_flags, label, buf, len);
    for (int row = 0, offset = 0; offset < len; ++row, offset += row_bytes) {
        if (hdr_every != 0 && row % hdr_every == 0) out.put(row == 0 ? column_header + 1 : column_header);
        const int count = len - offset < row_bytes ? len - offset : row_bytes;
        print_row(out, offset, buf + offset, count);
    }
}

}  // namespace zuv
