#include "rules/rules_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/args.h"
#include "failing_stream.h"
#include "rules_fixture.h"

namespace zuv {
namespace {

using testing::console_fixture;
using testing::read_rules_text;
using testing::record_bytes;

std::uint16_t implicit_action(console_fixture& con) { return con.st().config.conf.get(conf_field::implicit_action); }
std::uint16_t rule_count(console_fixture& con) { return con.st().config.conf.get(conf_field::rule_count); }

// n distinct rule lines.
std::string rule_lines(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "drop destin C" + std::to_string(i) + "\n";
    return text;
}

TEST(RulesRead, CommentAndBlankLinesOnlyGiveNoRulesAndPass) {
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, "# one\n\n   \n/ two\n;three\n\t,\n"), 0);
    EXPECT_EQ(con.out.text, "Rules processed 0, implicit 0\n");
    EXPECT_EQ(rule_count(con), 0);
    EXPECT_EQ(con.st().rules.rules_processed, 1);
    EXPECT_EQ(implicit_action(con), 112);
}

TEST(RulesRead, AnEmptyFileReadsLikeAFileOfComments) {
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, ""), 0);
    EXPECT_EQ(con.out.text, "Rules processed 0, implicit 0\n");
    EXPECT_EQ(con.st().rules.rules_processed, 1);
}

TEST(RulesRead, ImplicitLinesSetTheImplicitActionAndTheLastOneDecides) {
    struct implicit_case {
        const char* text;
        std::uint16_t action;
    } cases[] = {
        {"implicit drop\n", 100},    {"drop implicit\n", 100},  {"implicit pass\n", 112},
        {"pass implicit\n", 112},    {"implicit implicit\n", 112}, {"drop pass\n", 112},
        {"pass drop\n", 100},        {"i dr # anything after the keyword is ignored\n", 100},
        {"implicit drop\nimplicit pass\n", 112}, {"implicit pass\ndrop implicit\n", 100},
    };
    for (const implicit_case& c : cases) {
        console_fixture con;
        ASSERT_EQ(read_rules_text(con, c.text), 0) << c.text;
        EXPECT_EQ(implicit_action(con), c.action) << c.text;
        EXPECT_EQ(rule_count(con), 0) << c.text;
    }
}

TEST(RulesRead, StoresRulesInLineOrderAndCountsImplicitLinesApart) {
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, "implicit drop\ndrop destin APRS\npass source APRS\n"), 0);
    EXPECT_EQ(con.out.text, "Rules processed 2, implicit 1\n");
    EXPECT_EQ(rule_count(con), 2);
    EXPECT_EQ(implicit_action(con), 100);
    EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::command), 53);
    EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::line), 2);
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::command), 54);
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::line), 3);
    for (std::size_t i = 2; i < max_rules; ++i)
        EXPECT_EQ(record_bytes(con.st().rules.rule_table[i]), std::vector<std::uint8_t>(28, 0)) << i;
}

TEST(RulesRead, ActionsAndRuleKeywordsMayBeAbbreviatedWhenUnique) {
    struct keyword_case {
        const char* line;
        std::uint8_t command;
        std::uint8_t flags;
    } cases[] = {
        {"d destin APRS", 53, 0x04},          {"P DeS APRS", 53, 0x08},
        {"i ds APRS", 53, 0x10},               {"drop so APRS", 54, 0x04},
        {"drop sr APRS", 54, 0x04},            {"drop se 10d, 20d, 5", 58, 0x04},
        {"drop ci 10 39d, 105d", 55, 0x04},    {"drop co n 39d, 105d", 56, 0x04},
        {"drop r 39d, 105d, 40d, 106d", 57, 0x04}, {"drop recta 39d, 105d, 40d, 106d", 57, 0x04},
        {"drop di 1 RELAY", 59, 0x04},         {"drop,destin\tAPRS", 53, 0x04},
    };
    for (const keyword_case& c : cases) {
        console_fixture con;
        ASSERT_EQ(read_rules_text(con, std::string(c.line) + "\n"), 0) << c.line << con.out.text;
        EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::command), c.command) << c.line;
        EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::flags), c.flags) << c.line;
    }
}

TEST(RulesRead, CommentsAndBlanksMayFollowTheArgumentsOfEveryKind) {
    const char* lines[] = {
        "drop destin APRS # note",
        "drop destin APRS#note",
        "drop circle 10 39.5d, -105.25d # note",
        "drop circle 10 39.5d, -105.25d;note",
        "drop compass nw 39d , 105d / note",
        "drop rectangle 39d, -105d, 40d, -104d # note",
        "drop sector 10d, 20d, 5 10 # note",
        "drop digi 2 RELAY ; note",
        "drop destin APRS and more words that are ignored",
        "drop circle 10 39.5d, -105.25d, ignored",
        // Blanks after an angle belong to no angle, at the end of a line too.
        "drop rectangle 39d , -105d  ,40d, -104d   ",
    };
    for (const char* line : lines) {
        console_fixture con;
        EXPECT_EQ(read_rules_text(con, std::string(line) + "\n"), 0) << line << con.out.text;
        EXPECT_EQ(rule_count(con), 1) << line;
    }
}

TEST(RulesRead, AnglesAllowBlanksAndTheirWholeRange) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "pass rectangle N 39d 30m, W 105d 15m,  -90d ,180d\n"), 0) << con.out.text;
    const rule_record& r = con.st().rules.rule_table[0];
    EXPECT_EQ(r.get(rule_field::float_1), 39.5f);
    EXPECT_EQ(r.get(rule_field::float_2), -105.25f);
    EXPECT_EQ(r.get(rule_field::float_3), -90.0f);
    EXPECT_EQ(r.get(rule_field::float_4), 180.0f);
}

TEST(RulesRead, ThirtyRuleAndImplicitLinesAreTheLimit) {
    struct limit_case {
        std::string text;
        int rc;
        int failing_line;
    } cases[] = {
        {rule_lines(30), 0, 0},
        {rule_lines(31), -6, 31},
        {rule_lines(30) + "implicit drop\n", -6, 31},
        {"implicit drop\n" + rule_lines(30), -6, 31},
        {"implicit drop\n" + rule_lines(29), 0, 0},
        // The limit is tested before the keyword, so even a bad one gets it.
        {rule_lines(30) + "drop bogus\n", -6, 31},
    };
    for (const limit_case& c : cases) {
        console_fixture con;
        EXPECT_EQ(read_rules_text(con, c.text), c.rc);
        if (c.rc == 0) continue;
        const std::string head = "\a\aError: t.rules[" + std::to_string(c.failing_line) + "]: rule limit (30) exceeded:\n";
        EXPECT_EQ(con.out.text.substr(0, head.size()), head);
        EXPECT_EQ(rule_count(con), 0);
    }
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, rule_lines(30)), 0);
    EXPECT_EQ(con.out.text, "Rules processed 30, implicit 0\n");
    EXPECT_EQ(rule_count(con), 30);
    EXPECT_EQ(con.st().rules.rule_table[29].callsign(), "C29");
}

TEST(RulesRead, RejectsARuleEqualToAnEarlierOne) {
    struct dupe_case {
        const char* text;
        const char* message;  // nullptr: both rules are accepted
    } cases[] = {
        {"drop destin APRS\ndrop dst APRS\n", "\a\aError: t.rules[2]: Duplicate Rule on line 1\n"},
        {"# c\ndrop destin APRS\n\ndrop source APRS\ndrop destin APRS\n",
         "\a\aError: t.rules[5]: Duplicate Rule on line 2\n"},
        {"drop digi 1 relay\ndrop digi 1 RELAY\n", "\a\aError: t.rules[2]: Duplicate Rule on line 1\n"},
        {"drop destin *ABC\ndrop destin *\n", "\a\aError: t.rules[2]: Duplicate Rule on line 1\n"},
        {"drop sector 10d, 20d, 5\ndrop sector 10d, 20d, 5 # no outer\n",
         "\a\aError: t.rules[2]: Duplicate Rule on line 1\n"},
        {"drop digi * RELAY\ndrop digi 0 RELAY\n", "\a\aError: t.rules[2]: Duplicate Rule on line 1\n"},
        {"drop destin APRS\npass destin APRS\n", nullptr},
        {"drop destin aprs\ndrop destin APRS\n", nullptr},
        {"drop destin APRS\ndrop source APRS\n", nullptr},
        {"drop destin APRS\ndrop destin APRS-0\n", nullptr},
        {"drop destin AP*\ndrop destin AP\n", nullptr},
        {"drop sector 10d, 20d, 5\ndrop sector 10d, 20d, 5 6\n", nullptr},
    };
    for (const dupe_case& c : cases) {
        console_fixture con;
        const int rc = read_rules_text(con, c.text);
        if (c.message == nullptr) {
            EXPECT_EQ(rc, 0) << c.text << con.out.text;
            EXPECT_EQ(rule_count(con), 2) << c.text;
        } else {
            EXPECT_EQ(rc, -71) << c.text;
            EXPECT_EQ(con.out.text, c.message);
            EXPECT_EQ(rule_count(con), 0) << c.text;
        }
    }
}

TEST(CheckRuleDupe, ComparesEverythingButTheLine) {
    console_fixture con;
    rule_array& table = con.st().rules.rule_table;
    for (std::size_t i = 0; i < 3; ++i) {
        table[i].set(rule_field::command, std::uint8_t{53});
        table[i].set(rule_field::flags, std::uint8_t{4});
        table[i].bytes[0] = static_cast<std::uint8_t>(i == 1 ? 'A' : 'B');
        table[i].set(rule_field::line, static_cast<std::int16_t>(10 + i));
    }
    rule_record rep = table[2];
    rep.set(rule_field::line, std::int16_t{99});
    EXPECT_EQ(check_rule_dupe(con.st().rules, 3, &rep), 10);  // the first equal one
    EXPECT_EQ(check_rule_dupe(con.st().rules, 0, &rep), 0);
    rep.bytes[23] = 1;
    EXPECT_EQ(check_rule_dupe(con.st().rules, 3, &rep), 0);
    rep.bytes[23] = 0;
    rep.set(rule_field::flags, std::uint8_t{8});
    EXPECT_EQ(check_rule_dupe(con.st().rules, 3, &rep), 0);
    EXPECT_EQ(con.out.text, "");
    EXPECT_EQ(check_rule_dupe(con.st().rules, 31, &table[1]), 11);  // a count past the table stops at its end
    EXPECT_EQ(check_rule_dupe(con.st().rules, 3, nullptr), -1);
    EXPECT_EQ(con.out.text, "check_rule_dupe: Error: param rep is invalid\n");
}

TEST(RulesRead, AFailureLeavesNoValidRuleButKeepsWhatWasBuilt) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "drop destin OLD1\ndrop destin OLD2\ndrop destin OLD3\n"), 0);
    EXPECT_EQ(read_rules_text(con, "implicit drop\ndrop destin NEW\npass circle 10 95d, 105d\n"), -19);
    EXPECT_EQ(rule_count(con), 0);
    EXPECT_EQ(con.st().rules.rules_processed, 0);
    EXPECT_EQ(implicit_action(con), 100);  // set by the line before the failure
    EXPECT_EQ(con.st().rules.rule_table[0].callsign(), "NEW");
    // The partly built circle: its radius is stored, its latitude was refused.
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::command), 55);
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::float_1), 10.0f);
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::float_2), 0.0f);
    // Nothing is left of the earlier read.
    EXPECT_EQ(record_bytes(con.st().rules.rule_table[2]), std::vector<std::uint8_t>(28, 0));
}

TEST(RulesRead, AFailureBeforeAnyImplicitLineLeavesPass) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "implicit drop\n"), 0);
    EXPECT_EQ(read_rules_text(con, "bogus\n"), -3);
    EXPECT_EQ(implicit_action(con), 112);
}

TEST(RulesRead, ALineLongerThan255CharactersIsReadInPieces) {
    console_fixture con;
    // 255 characters of comment, then the rest of that line is a line of its own.
    const std::string comment = "#" + std::string(254, 'x');
    EXPECT_EQ(read_rules_text(con, comment + "drop destin APRS\nbogus\n"), -3);
    EXPECT_EQ(con.out.text, "\a\aError: t.rules[3]: action bogus invalid:\nbogus\n");
    EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::line), 2);

    // A line of exactly 255 characters is one line: its line feed is not a
    // second, empty one, so the lines after it keep their editor numbers.
    for (const char* ending : {"\n", "\r\n"}) {
        console_fixture exact;
        EXPECT_EQ(read_rules_text(exact, comment + ending + "drop destin APRS\nbogus\n"), -3) << ending;
        EXPECT_EQ(exact.st().rules.rule_table[0].get(rule_field::line), 2);
        EXPECT_EQ(exact.out.text, "\a\aError: t.rules[3]: action bogus invalid:\nbogus\n");
    }

    console_fixture huge;
    EXPECT_EQ(read_rules_text(huge, "drop destin " + std::string(5000, 'A') + "\n"), -10);
    EXPECT_EQ(huge.out.text, "\a\aError: t.rules[1]: Destination is too long: " + std::string(243, 'A') +
                                 ":\ndrop destin " + std::string(243, 'A') + "\n");
}

TEST(RulesRead, CarriageReturnsOfCrLfEndingsNeverReachAToken) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "# filters\r\n\r\nimplicit drop\r\npass circle 10 39.5d, -105.25d\r\n"
                                   "drop destin APRS\r\ndrop digi 2 RELAY-3\r\ndrop sector 10d, 20d, 5\r\n"),
              0)
        << con.out.text;
    EXPECT_EQ(con.out.text, "Rules processed 4, implicit 1\n");
    EXPECT_EQ(implicit_action(con), 100);
    EXPECT_EQ(con.st().rules.rule_table[0].get(rule_field::float_3), -105.25f);
    EXPECT_EQ(con.st().rules.rule_table[1].callsign(), "APRS");
    EXPECT_EQ(con.st().rules.rule_table[1].get(rule_field::line), 5);
    EXPECT_EQ(con.st().rules.rule_table[2].get(rule_field::byte_2), 3);

    console_fixture msg;
    EXPECT_EQ(read_rules_text(msg, "drop destin\r\n"), -11);
    EXPECT_EQ(msg.out.text, "\a\aError: t.rules[1]: missing Destination:\ndrop destin\n");

    // A CR LF pair is one line ending even where a read of 255 characters
    // would have split it, and a last line needs no line end.
    console_fixture edge;
    EXPECT_EQ(read_rules_text(edge, "#" + std::string(253, 'x') + "\r\ndrop destin APRS"), 0) << edge.out.text;
    EXPECT_EQ(edge.st().rules.rule_table[0].get(rule_field::line), 2);
    EXPECT_EQ(edge.st().rules.rule_table[0].callsign(), "APRS");
}

TEST(RulesRead, ANulByteEndsItsLine) {
    using namespace std::string_literals;
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, "drop destin AP\0RS\n\0drop destin X\ndorp\0 destin\n"s), -3);
    EXPECT_EQ(con.st().rules.rule_table[0].callsign(), "AP");
    EXPECT_EQ(con.out.text, "\a\aError: t.rules[3]: action dorp invalid:\ndorp\n");
}

TEST(RulesRead, BytesAbove0x7FAreKeptAndOnlyAsciiLettersAreUpperCased) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "drop destin \xC4\xD6x\ndrop digi 1 \xE9t\xE9\n"), 0) << con.out.text;
    EXPECT_EQ(con.st().rules.rule_table[0].callsign(), "\xC4\xD6x");
    EXPECT_EQ(con.st().rules.rule_table[1].callsign(), "\xE9T\xE9");

    console_fixture bad;
    EXPECT_EQ(read_rules_text(bad, "drop digi \xE9 RELAY\n"), -57);
    EXPECT_EQ(bad.out.text, "\a\aError: t.rules[1]: invalid Match Index, range [0..8]: \xE9:\ndrop digi \xE9 RELAY\n");

    console_fixture action;
    EXPECT_EQ(read_rules_text(action, "\xFF\xFE destin X\n"), -3);
    EXPECT_EQ(action.out.text, "\a\aError: t.rules[1]: action \xFF\xFE invalid:\n\xFF\xFE destin X\n");
}

// Line numbers beyond 32767 do not fit the record's line field: the record
// keeps 32767, while the messages go on naming the true line.
TEST(RulesRead, RulesBeyondLine32767StoreLine32767AndReportTheTrueLine) {
    const std::string filler(32767, '\n');
    console_fixture ok;
    ASSERT_EQ(read_rules_text(ok, filler + "drop destin APRS\n" + std::string(10000, '\n') + "drop destin WIDE\n"), 0);
    EXPECT_EQ(ok.st().rules.rule_table[0].get(rule_field::line), 32767);
    EXPECT_EQ(ok.st().rules.rule_table[1].get(rule_field::line), 32767);

    console_fixture dupe;
    EXPECT_EQ(read_rules_text(dupe, filler + "drop destin APRS\ndrop destin APRS\n"), -71);
    EXPECT_EQ(dupe.out.text, "\a\aError: t.rules[32769]: Duplicate Rule on line 32768\n");

    console_fixture bad;
    EXPECT_EQ(read_rules_text(bad, filler + filler + "bogus\n"), -3);
    EXPECT_EQ(bad.out.text, "\a\aError: t.rules[65535]: action bogus invalid:\nbogus\n");
}

class RulesFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::snprintf(path_, sizeof path_, "/tmp/zuv_rules_test_%d.rules", static_cast<int>(::getpid()));
        std::FILE* fp = std::fopen(path_, "w");
        ASSERT_NE(fp, nullptr);
        std::fputs("implicit drop\ndrop destin APRS\n", fp);
        std::fclose(fp);
    }
    void TearDown() override { std::remove(path_); }
    char path_[64]{};
};

TEST_F(RulesFile, ReadsANamedFile) {
    console_fixture con;
    EXPECT_EQ(rules_process(con.st().rules, path_), 0);
    EXPECT_EQ(con.out.text, "Rules processed 1, implicit 1\n");
    EXPECT_EQ(rule_count(con), 1);
}

TEST_F(RulesFile, AFileThatCannotBeOpenedChangesNothing) {
    console_fixture con;
    ASSERT_EQ(rules_process(con.st().rules, path_), 0);
    const rule_array before = con.st().rules.rule_table;
    con.out.text.clear();
    EXPECT_EQ(rules_process(con.st().rules, "/nonexistent/dir/x.rules"), -2);
    EXPECT_EQ(con.out.text, "\a\aError: cannot open /nonexistent/dir/x.rules\n");
    EXPECT_EQ(rule_count(con), 1);
    EXPECT_EQ(implicit_action(con), 100);
    EXPECT_EQ(con.st().rules.rules_processed, 1);
    EXPECT_EQ(record_bytes(con.st().rules.rule_table[0]), record_bytes(before[0]));
}

TEST(RulesProcess, RefusesANullNameAndAFileThatCannotBeRead) {
    console_fixture con;
    EXPECT_EQ(rules_process(con.st().rules, nullptr), -1);
    EXPECT_EQ(con.out.text, "rules_process: Error: param rfp is invalid\n");
    // A directory opens on some systems but gives no text: it is refused
    // like a name that cannot be opened, before the table is reset.
    console_fixture dir;
    ASSERT_EQ(read_rules_text(dir, "implicit drop\ndrop destin APRS\n"), 0);
    const rule_array before = dir.st().rules.rule_table;
    dir.out.text.clear();
    EXPECT_EQ(rules_process(dir.st().rules, "/"), rules_cannot_open);
    EXPECT_EQ(dir.out.text, "\a\aError: cannot open /\n");
    EXPECT_EQ(rule_count(dir), 1);
    EXPECT_EQ(implicit_action(dir), 100);
    EXPECT_EQ(dir.st().rules.rules_processed, 1);
    EXPECT_EQ(record_bytes(dir.st().rules.rule_table[0]), record_bytes(before[0]));
}

TEST(RulesRead, AFileThatBreaksOffIsNeverTakenForAWholeOne) {
    // Whole lines before the error, and a last line cut off by it.
    for (const char* text : {"implicit drop\ndrop destin APRS\n", "implicit drop\ndrop destin APRS"}) {
        console_fixture con;
        std::FILE* fp = testing::failing_stream(text);
        ASSERT_NE(fp, nullptr);
        EXPECT_EQ(rules_read(con.st().rules, fp, "t.rules"), rules_cannot_read) << text;
        std::fclose(fp);
        EXPECT_EQ(con.out.text, "\a\aError: cannot read t.rules\n") << text;
        EXPECT_EQ(con.st().rules.rules_processed, 0);
        EXPECT_EQ(rule_count(con), 0);
    }
}

TEST(RulesCommand, NeedsAFileNameAndReportsAFailedRead) {
    struct command_case {
        const char* line;
        const char* output;
    } cases[] = {
        {"rules", "\a\aError: missing argument: file_name\n"},
        {"rules ,\t", "\a\aError: missing argument: file_name\n"},
        {"rules no such.rules", "\a\aError: cannot open no such.rules\n\a\aError: Rule processing failed\n"},
    };
    for (const command_case& c : cases) {
        console_fixture con;
        arg_cursor args(c.line);
        ASSERT_TRUE(args.next_number());
        rules_command(con.st().rules, args);
        EXPECT_EQ(con.out.text, c.output) << c.line;
    }
}

}  // namespace
}  // namespace zuv
