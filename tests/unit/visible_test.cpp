// Text from a file reaches a terminal with its control bytes shown, and
// anything else byte for byte as it came.
#include "core/visible.h"

#include <gtest/gtest.h>

#include <string>

#include "config/conf_display.h"
#include "firmware/inhexverify.h"
#include "config_fixture.h"
#include "rules_fixture.h"

namespace zuv {
namespace {

using namespace std::string_literals;

TEST(Visible, AtATerminalShowsEveryControlByte) {
    string_output tty;
    tty.terminal = true;
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text, with\ttab", "plain text, with\ttab"},
        {"\x1b]0;PWNED\a", "^[]0;PWNED^G"},
        {"\x1b[2J\x1b[H", "^[[2J^[[H"},
        {"a\rb\x01\x1f", "a^Mb^A^_"},
        {"\x7f", "^?"},
        {"\x80\xc3\xa9\xff", "\\x80\\xC3\\xA9\\xFF"},
        {"before\0after"s, "before"},
    };
    for (const auto& c : cases) EXPECT_EQ(visible(tty, c.text), c.shown) << c.text;
}

TEST(Visible, ElsewhereEveryByteStays) {
    string_output piped;
    EXPECT_EQ(visible(piped, "\x1b]0;PWNED\a\x80"), "\x1b]0;PWNED\a\x80");
    put_visible(piped, "a\0b"s);
    EXPECT_EQ(piped.text, "a\0b"s) << "a NUL written as such stays";
    string_output tty;
    tty.terminal = true;
    put_visible(tty, "a\0\x1b"s);
    EXPECT_EQ(tty.text, "a^@^[");
}

// The file's bytes in every kind of message the readers print.
TEST(Visible, TheReadersShowAFilesControlBytesAtATerminal) {
    const struct {
        const char* text;
        bool rules;
        const char* message;
    } cases[] = {
        {"\x1b]0;PWNED\a call N0CALL\n", false,
         "\a\aError: t.cfg[1]: command ^[]0;PWNED^G invalid: ^[]0;PWNED^G call N0CALL\n"},
        {"call ABCDEFG\x1b[2J\n", false, "\a\aError: t.cfg[1]: invalid Call Sign argument: too long: "
                                         "call ABCDEFG^[[2J\n"},
        {"deletepath 1 A-\x1b 1\n", false,
         "\a\aError: t.cfg[1]: Digi Match: Digi A invalid SSID range [0..15]: ^[\ndeletepath 1 A-^[ 1\n"},
        {"lat 39d\x07\n", false, "\a\aError: DMC format: invalid char: ^G (0x07)\n"
                                 "\a\aError: t.cfg[1]: invalid Station Latitude argument: 39d^G: lat 39d^G\n"},
        {"drop \x1b[31m\n", true, "\a\aError: t.rules[1]: command ^[[31m invalid:\ndrop ^[[31m\n"},
        {"drop destin ABCDEFG\x9b\n", true,
         "\a\aError: t.rules[1]: Destination is too long: ABCDEFG\\x9B:\ndrop destin ABCDEFG\\x9B\n"},
    };
    for (const auto& c : cases) {
        testing::console_fixture con;
        con.out.terminal = true;
        if (c.rules) {
            EXPECT_NE(testing::read_rules_text(con, c.text), 0);
        } else {
            EXPECT_NE(testing::load_text(con, c.text), 0);
        }
        EXPECT_EQ(con.out.text, c.message) << c.text;
    }
}

TEST(Visible, TheFirmwareCheckShowsAFilesControlBytes) {
    std::string text = ":0000001\x1b" "FF\n";  // the pairs sum to 0x100
    std::FILE* fp = fmemopen(text.data(), text.size(), "r");
    string_output tty;
    tty.terminal = true;
    EXPECT_LT(inhexverify(tty, fp), 0);
    std::fclose(fp);
    EXPECT_EQ(tty.text, "\a\aError: invalid type (1^[) for line 1 in Firmware file!\n");
}

TEST(Visible, TheDisplayShowsAStoredCommentsControlBytes) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "bcomment hi\x1b[2Jthere\n"), 0) << con.out.text;
    con.out.terminal = true;
    con.out.text.clear();
    conf_display(con.st().config);
    EXPECT_NE(con.out.text.find("Beacon Comment: hi^[[2Jthere\n"), std::string::npos) << con.out.text;
    EXPECT_EQ(con.out.text.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace zuv
