#include "rules/rules_display.h"

#include <gtest/gtest.h>

#include <string>

#include "rules_fixture.h"

namespace zuv {
namespace {

using testing::console_fixture;
using testing::read_rules_text;

constexpr const char* table_head = "\n#  Action Mods Command   Arguments\n";

std::string shown_after_reading(const std::string& text) {
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, text), 0) << con.out.text;
    con.out.text.clear();
    rules_display(con.st().rules);
    return con.out.text;
}

TEST(RulesDisplay, WithoutRulesShowsOnlyTheImplicitAction) {
    console_fixture fresh;
    rules_display(fresh.st().rules);  // the default image holds neither 'p' nor 'd'
    EXPECT_EQ(fresh.out.text, "No Rules are configured!  Implicit Rule Action is ?\n");
    EXPECT_EQ(shown_after_reading("# nothing\n"), "No Rules are configured!  Implicit Rule Action is Pass\n");
    EXPECT_EQ(shown_after_reading("implicit drop\n"), "No Rules are configured!  Implicit Rule Action is Drop\n");

    console_fixture failed;
    EXPECT_NE(read_rules_text(failed, "drop destin APRS\nbogus\n"), 0);
    failed.out.text.clear();
    rules_display(failed.st().rules);
    EXPECT_EQ(failed.out.text, "No Rules are configured!  Implicit Rule Action is Pass\n");
}

TEST(RulesDisplay, ShowsTheImplicitRuleFirstThenEveryKind) {
    const std::string shown = shown_after_reading(
        "implicit drop\n"
        "drop destin APRS\n"
        "pass src WIDE*\n"
        "drop dst *\n"
        "pass destin ABCDEF-3\n"
        "pass circle 10 39.5d, -105.25d\n"
        "drop compass ne 39d, -105d\n"
        "drop rectangle 39d, -105d, 40.5d, -104.25d\n"
        "drop sector 10d, 20d, 5\n"
        "drop sector 0d, 360d, 0.5 10\n"
        "drop digi 3 relay-3\n"
        "drop digi * RELAY\n");
    EXPECT_EQ(shown,
              std::string("Rule count 11 plus Implicit\n") + table_head +
                  "0  Drop        Implicit \n"
                  "1  Drop    00  destin    APRS   \n"
                  "2  Pass    10  source    WIDE*   \n"
                  "3  Drop    30  destin    *   \n"
                  "4  Pass    40  destin    ABCDEF-3   \n"
                  "5  Pass    00  circle    10.000 mi R, 39.500000  D Lat, -105.25000  D Lon \n"
                  "6  Drop    00  compass   NE Dir, 39.000000  D Lat, -105.00000  D Lon \n"
                  "7  Drop    00  rectangle 39.000000  D Lat1, -105.00000  D Lon1, 40.500000  D Lat2, -104.25000  D Lon2\n"
                  "8  Drop    00  sector    10.000 D Ang1, 20.000 D Ang2, 5.000 In R, 0.000 Out R\n"
                  "9  Drop    00  sector    0.000 D Ang1, 360.000 D Ang2, 0.500 In R, 10.000 Out R\n"
                  "10 Drop    40  digi      3, RELAY-3  \n"
                  "11 Drop    00  digi      *, RELAY  \n");
}

TEST(RulesDisplay, ARuleWithTheActionWordImplicitShowsAQuestionMark) {
    EXPECT_EQ(shown_after_reading("implicit destin APRS\nimplicit destin *\nimplicit source AB-2\n"),
              std::string("Rule count 3 plus Implicit\n") + table_head +
                  "0  Pass        Implicit \n"
                  "1  ?       10  destin    APRS*   \n"
                  "2  ?       30  destin    *   \n"
                  "3  ?       50  source    AB*   \n");
}

rule_record handmade(std::uint8_t command, std::uint8_t flags) {
    rule_record r;
    r.set(rule_field::command, command);
    r.set(rule_field::flags, flags);
    return r;
}

std::string shown_rule(const rule_record& r) {
    console_fixture con;
    con.st().rules.rule_table[0] = r;
    con.st().config.conf.set(conf_field::rule_count, std::uint16_t{1});
    rules_display(con.st().rules);
    const std::string& text = con.out.text;
    const std::size_t last = text.rfind("\n1  ");
    return last == std::string::npos ? text : text.substr(last + 1);
}

TEST(RulesDisplay, ReadsOnlyTheBytesOfEachField) {
    rule_record six = handmade(53, 0x04);
    for (std::size_t i = 0; i < 6; ++i) six.bytes[i] = static_cast<std::uint8_t>('A' + i);
    six.bytes[6] = 'Z';  // not an SSID: mod_ssid is not set
    EXPECT_EQ(shown_rule(six), "1  Drop    00  destin    ABCDEF   \n");

    rule_record compass = handmade(56, 0x08);
    compass.bytes[0] = 9;
    EXPECT_EQ(shown_rule(compass), "1  Pass    00  compass   Error Dir, 0.000000   D Lat, 0.00000     D Lon \n");

    EXPECT_EQ(shown_rule(handmade(60, 0x03)), "1  ?       00  ?            \n");

    rule_record big = handmade(55, 0x04);
    big.set(rule_field::float_1, 1e30f);
    EXPECT_EQ(shown_rule(big), "1  Drop    00  circle    1000000015047466219876688855040.000 mi R, 0.000000   D Lat, "
                               "0.00000     D Lon \n");
}

TEST(RulesDisplay, ACountBeyondTheTableShowsTheWholeTableOnly) {
    console_fixture con;
    con.st().config.conf.set(conf_field::rule_count, std::uint16_t{500});
    rules_display(con.st().rules);
    EXPECT_EQ(con.out.text.substr(0, 28), "Rule count 30 plus Implicit\n");
    EXPECT_NE(con.out.text.find("\n30 ?       00  ?            \n"), std::string::npos);
    EXPECT_EQ(con.out.text.find("\n31 "), std::string::npos);
}

TEST(RuleKeywordName, GivesTheFirstTextOfACode) {
    EXPECT_STREQ(rule_keyword_name(53), "destin");
    EXPECT_STREQ(rule_keyword_name(54), "source");
    EXPECT_STREQ(rule_keyword_name(50), "implicit");
    EXPECT_STREQ(rule_keyword_name(59), "digi");
    EXPECT_STREQ(rule_keyword_name(60), "?");
    EXPECT_STREQ(rule_keyword_name(0), "?");
}

}  // namespace
}  // namespace zuv
