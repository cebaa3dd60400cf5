#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/output.h"
#include "diag/hexdump.h"

namespace zuv {
namespace {

constexpr const char* column_header =
    "Dec  Hex |  0  1  2  3  4  5  6  7    8  9  a  b  c  d  e  f | 0123456789abcdef\n";

std::vector<std::uint8_t> counting(int n, int from = 0) {
    std::vector<std::uint8_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(from + i));
    return v;
}

std::string dump(const std::vector<std::uint8_t>& bytes, int hdr_flags = 1, const char* label = "Got",
                 int hdr_every = 10) {
    static const std::uint8_t nothing = 0;  // a real buffer even when it holds no bytes
    string_output out;
    hexdump(&out, hdr_flags, label, bytes.empty() ? &nothing : bytes.data(), static_cast<int>(bytes.size()),
            hdr_every);
    return out.text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> got;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
        got.push_back(text.substr(start, at - start));
    return got;
}

TEST(Hexdump, EmptyBufferPrintsOnlyTheHeaderLine) {
    EXPECT_EQ(dump({}), "Got: length 0 (0x0):\n");
}

TEST(Hexdump, FullRowIsSeventyNineColumnsWithBytesAndCharactersInPlace) {
    const auto bytes = counting(16, 0x41);
    EXPECT_EQ(dump(bytes), std::string("Got: length 16 (0x10):\n") + column_header +
                               "   0 0000| 41 42 43 44 45 46 47 48   49 4a 4b 4c 4d 4e 4f 50 | ABCDEFGHIJKLMNOP\n");
    EXPECT_EQ(lines(dump(bytes)).back().size(), 79u);
}

TEST(Hexdump, ShortLastRowKeepsTheBarInColumnSixtyOne) {
    const auto rows = lines(dump(counting(17, 0x30)));
    ASSERT_EQ(rows.size(), 4u);  // header line, column header, two rows
    EXPECT_EQ(rows[3], std::string("  16 0010| 40") + std::string(61 - 13, ' ') + "| @");
    EXPECT_EQ(rows[3].find('|', 10), 61u);
}

TEST(Hexdump, ColumnHeaderRepeatsEveryTenthRowAfterAnEmptyLine) {
    const auto rows = lines(dump(counting(200)));
    // header line, column header, rows 0-9, empty line, column header, rows 10-12
    ASSERT_EQ(rows.size(), 1u + 1u + 10u + 2u + 3u);
    EXPECT_EQ(rows[1] + "\n", column_header);
    EXPECT_EQ(rows[12], "");
    EXPECT_EQ(rows[13] + "\n", column_header);
    EXPECT_EQ(rows[14].substr(0, 11), " 160 00a0| ");
    EXPECT_EQ(rows[16].substr(0, 11), " 192 00c0| ");
}

TEST(Hexdump, OnlyPrintableAsciiShowsAsItself) {
    const auto rows = lines(dump({0x1f, 0x20, 0x7e, 0x7f, 0x80, 0xff, 0x00}, 1, "Got", 0));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].substr(63), ". ~....");
    EXPECT_EQ(rows[1].substr(11, 21), "1f 20 7e 7f 80 ff 00 ");
}

TEST(Hexdump, HeaderLineFollowsFlagsAndLabel) {
    const std::vector<std::uint8_t> none;
    struct header_case {
        int flags;
        const char* label;
        const char* line;
    } cases[] = {
        {1, "Got", "Got: length 0 (0x0):\n"},
        {1, "", "length 0 (0x0):\n"},
        {1, nullptr, "hexdump: length 0 (0x0):\n"},
        {3, "Got", "Got: length 0 (0x0):\n"},
        {2, "Got", "length 0 (0x0):\n"},
        {4, "Got", ""},
    };
    for (const header_case& c : cases) EXPECT_EQ(dump(none, c.flags, c.label), c.line) << c.flags;
    EXPECT_EQ(dump(none, 0, "").rfind("hexdump: buffer addr 0x", 0), 0u);  // empty label, no separator
    const std::vector<std::uint8_t> one{1};
    string_output out;
    hexdump(&out, 0, "Got", one.data(), 1, 0);
    EXPECT_EQ(out.text.rfind("hexdump: Got: buffer addr 0x", 0), 0u) << out.text;
    EXPECT_NE(out.text.find(", length 1 (0x1):\n"), std::string::npos) << out.text;
}

TEST(Hexdump, RefusesMissingBufferAndNegativeLength) {
    string_output out;
    hexdump(&out, 1, "Got", nullptr, 4, 10);
    const std::uint8_t b = 0;
    hexdump(&out, 1, "Got", &b, -1, 10);
    EXPECT_EQ(out.text, "hexdump: invalid param buf ptr\nhexdump: invalid param len -1\n");
    hexdump(nullptr, 1, "Got", &b, 1, 10);  // no stream: nothing, no crash
}

}  // namespace
}  // namespace zuv
