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

// An edited line arrives whole; it is handed out as a stream read would
// deliver it, so the 255-character pieces keep their rule.
std::vector<std::string> pieces_of(std::string_view line, std::size_t size) {
    pending_line pending;
    pending.set(line);
    std::vector<std::string> pieces;
    std::vector<char> buf(size);
    while (pending.take(buf.data(), size)) pieces.emplace_back(buf.data());
    return pieces;
}

TEST(PendingLine, HandsOutPiecesAsAStreamReadWould) {
    using v = std::vector<std::string>;
    EXPECT_EQ(pieces_of("conf a.cfg", 256), (v{"conf a.cfg\n"}));
    EXPECT_EQ(pieces_of("", 256), (v{"\n"})) << "an empty line is a line feed";
    EXPECT_EQ(pieces_of("abcdefgh", 5), (v{"abcd", "efgh", "\n"}));
    EXPECT_EQ(pieces_of("abcdefg", 5), (v{"abcd", "efg\n"}));
    EXPECT_EQ(pieces_of(std::string(300, 'a'), 256), (v{std::string(255, 'a'), std::string(45, 'a') + "\n"}));
    const std::string exact(255, 'b');
    EXPECT_EQ(pieces_of(exact, 256), (v{exact, "\n"})) << "as fgets leaves the line feed of a full buffer";
    for (const std::string& line : {std::string("x"), std::string(600, 'y')}) {
        std::string text = line + "\n";
        std::FILE* in = fmemopen(text.data(), text.size(), "r");
        std::vector<std::string> streamed;
        char buf[256];
        while (read_console_line(in, buf, sizeof buf)) streamed.emplace_back(buf);
        std::fclose(in);
        EXPECT_EQ(pieces_of(line, 256), streamed) << line.size() << " characters";
    }
}

TEST(PendingLine, NothingPendingOrNoRoomGivesNothing) {
    pending_line pending;
    char buf[4] = "old";
    EXPECT_TRUE(pending.empty());
    EXPECT_FALSE(pending.take(buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    pending.set("ab");
    EXPECT_FALSE(pending.take(buf, 0));
    EXPECT_FALSE(pending.empty());
}

TEST(StdioConsole, PrintsThePromptAsItIsThenReadsTheLine) {
    std::string text = "yes\r\nrest";
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    string_output out;
    stdio_console console(in, out);
    char buf[256];
    ASSERT_TRUE(console.read_line("\a\aWarning: first line\nsecond: ", buf, sizeof buf));
    EXPECT_STREQ(buf, "yes\n");
    ASSERT_TRUE(console.read_line("Command> ", buf, sizeof buf, input_kind::command));
    EXPECT_STREQ(buf, "rest");
    EXPECT_FALSE(console.read_line("Command> ", buf, sizeof buf, input_kind::command));
    EXPECT_EQ(out.text, "\a\aWarning: first line\nsecond: Command> Command> ");
    std::fclose(in);
}

}  // namespace
}  // namespace zuv
