// The line reading both file readers share: where lines end, how long lines
// are cut, what a NUL byte or a read error does, and the open check.

#include "core/text_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "failing_stream.h"
#include "temp_dir_test.h"

namespace zuv {
namespace {

using namespace std::string_literals;
using lines = std::vector<std::string>;

struct read_result {
    lines got;
    line_read last = line_read::line;
};

read_result read_all(std::FILE* fp) {
    read_result r;
    text_line_source src{fp};
    std::string_view text;
    while ((r.last = read_text_line(src, text)) == line_read::line) r.got.emplace_back(text);
    return r;
}

read_result read_text(std::string text) {
    std::FILE* fp = text.empty() ? std::tmpfile() : fmemopen(text.data(), text.size(), "r");
    const read_result r = read_all(fp);
    std::fclose(fp);
    return r;
}

struct line_case {
    std::string what;
    std::string input;
    lines expected;
};

// Lines of 254, 255 and 256 characters with each ending; a line follows
// where there is an ending, so a stray empty line would show.
std::vector<line_case> length_cases() {
    std::vector<line_case> cases;
    for (const std::size_t n : {254u, 255u, 256u}) {
        const std::string line(n, 'a');
        lines pieces{line.substr(0, 255)};
        if (n > 255) pieces.push_back(line.substr(255));
        for (const std::string ending : {"\n", "\r\n", ""}) {
            line_case c{std::to_string(n) + " characters, ending \"" + (ending == "\n" ? "LF" : ending.empty() ? "none" : "CR LF") + "\"",
                        line + ending, pieces};
            if (!ending.empty()) {
                c.input += "next\n";
                c.expected.push_back("next");
            }
            cases.push_back(c);
        }
    }
    return cases;
}

std::vector<line_case> edge_cases() {
    const std::string a254(254, 'a');
    const std::string a255(255, 'a');
    return {
        {"empty file", "", {}},
        {"one empty line", "\n", {""}},
        {"line ends", "one\ntwo\r\n\nlast", {"one", "two", "", "last"}},
        {"a CR not before LF is text", "cr\rinside\n", {"cr\rinside"}},
        {"a CR at the end of the file is text", "end with cr\r", {"end with cr\r"}},
        {"only the CR directly before LF ends the line", "x\r\r\n", {"x\r"}},
        {"two full pieces and the rest", a255 + a255 + "b\n", {a255, a255, "b"}},
        {"a line of 510 characters is two lines", a255 + a255 + "\nnext\n", {a255, a255, "next"}},
        {"CR LF straddling the 255th character", a254 + "\r\nnext", {a254, "next"}},
        {"a CR as 255th character before CR LF", a254 + "\r\r\nnext\n", {a254 + "\r", "next"}},
        {"a CR after 255 characters without LF", a255 + "\rb\n", {a255, "\rb"}},
        {"a CR after 255 characters at the end", a255 + "\r", {a255, "\r"}},
        {"NUL ends the line", "nul\0inside\n"s, {"nul"}},
        {"NUL, then the next line", "ab\0cd\n\0hidden\nnext"s, {"ab", "", "next"}},
        {"NUL before CR LF", "ab\0\r\nnext\n"s, {"ab", "next"}},
        {"NUL as 255th character", a254 + "\0\nnext\n"s, {a254, "next"}},
        {"NUL in the first piece of a long line", "ab\0"s + std::string(300, 'x') + "\n", {"ab", std::string(48, 'x')}},
        {"bytes above 0x7F", "\xE9\xFF\n", {"\xE9\xFF"}},
    };
}

TEST(ReadTextLine, CutsLinesAtLineFeedsAndAt255Characters) {
    for (const auto& table : {length_cases(), edge_cases()}) {
        for (const line_case& c : table) {
            const read_result r = read_text(c.input);
            EXPECT_EQ(r.got, c.expected) << c.what;
            EXPECT_EQ(r.last, line_read::end) << c.what;
        }
    }
}

TEST(ReadTextLine, AReadErrorIsNeverTakenForTheEnd) {
    const std::string a255(255, 'a');
    const struct {
        const char* what;
        std::string input;
        lines before_error;
    } cases[] = {
        {"at the first read", "", {}},
        {"after whole lines", "one\ntwo\n", {"one", "two"}},
        {"inside a line: the part read is not a line", "one\ntw", {"one"}},
        {"while looking past a full line", a255, {}},
        {"after a CR past a full line", a255 + "\r", {}},
    };
    for (const auto& c : cases) {
        std::FILE* fp = testing::failing_stream(c.input);
        ASSERT_NE(fp, nullptr);
        const read_result r = read_all(fp);
        std::fclose(fp);
        EXPECT_EQ(r.got, c.before_error) << c.what;
        EXPECT_EQ(r.last, line_read::failed) << c.what;
    }
}

class OpenTextFile : public testing::temp_dir_test {};

TEST_F(OpenTextFile, RefusesANameThatCannotBeOpenedOrRead) {
    EXPECT_EQ(open_text_file((dir_ / "missing").string().c_str()), nullptr);
    EXPECT_EQ(open_text_file(dir_.string().c_str()), nullptr) << "a directory opens here but cannot be read";
}

TEST_F(OpenTextFile, TheByteReadAheadIsNotLost) {
    const struct {
        std::string text;
        lines expected;
    } cases[] = {{"", {}}, {"x", {"x"}}, {"x\ny\n", {"x", "y"}}};
    for (const auto& c : cases) {
        std::FILE* fp = open_text_file(write("t.txt", c.text).c_str());
        ASSERT_NE(fp, nullptr) << c.text;
        const read_result r = read_all(fp);
        std::fclose(fp);
        EXPECT_EQ(r.got, c.expected) << c.text;
        EXPECT_EQ(r.last, line_read::end) << c.text;
    }
}

}  // namespace
}  // namespace zuv
