#include "core/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zuv {
namespace {

// Every line read from text with a buffer of size bytes, until the end.
std::vector<std::string> lines_of(std::string text, std::size_t size) {
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    std::vector<std::string> lines;
    std::vector<char> buf(size);
    while (read_console_line(in, buf.data(), size)) lines.emplace_back(buf.data());
    std::fclose(in);
    return lines;
}

TEST(ConsoleLine, CrLfReadsAsLfAndALongLineArrivesInPieces) {
    using v = std::vector<std::string>;
    EXPECT_EQ(lines_of("yes\r\nno\n", 256), (v{"yes\n", "no\n"}));
    EXPECT_EQ(lines_of("a\rb\n", 256), (v{"a\rb\n"})) << "a lone CR is text";
    EXPECT_EQ(lines_of("last", 256), (v{"last"}));
    EXPECT_EQ(lines_of("abcdefgh\n", 5), (v{"abcd", "efgh", "\n"}));
    EXPECT_EQ(lines_of("", 256), v{});
}

TEST(ConsoleLine, NoInputOrNoRoomIsTheEnd) {
    char buf[8] = "stale";
    EXPECT_FALSE(read_console_line(nullptr, buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(read_console_line(nullptr, buf, 0));
}

}  // namespace
}  // namespace zuv
