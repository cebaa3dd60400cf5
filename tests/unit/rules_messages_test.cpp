// One-line rules files, each with its exact message and code: a case for
// every failure the reader can reach.

#include <gtest/gtest.h>

#include <string>

#include "rules_fixture.h"

namespace zuv {
namespace {

using testing::console_fixture;
using testing::read_rules_text;

constexpr const char* flt_max_text = "340282346638528859811704183484516925440.000000";

struct message_case {
    const char* line;
    int rc;
    std::string text;  // between "t.rules[1]: " and ":\n<line>\n"
    std::string before = "";  // what the angle parser printed first
};

void PrintTo(const message_case& c, std::ostream* os) { *os << c.line; }

class RuleLineMessage : public ::testing::TestWithParam<message_case> {};

TEST_P(RuleLineMessage, NamesFileAndLineThenRepeatsTheLine) {
    const message_case& c = GetParam();
    console_fixture con;
    EXPECT_EQ(read_rules_text(con, std::string(c.line) + "\n"), c.rc) << c.line;
    EXPECT_EQ(con.out.text, c.before + "\a\aError: t.rules[1]: " + c.text + ":\n" + c.line + "\n");
    EXPECT_EQ(con.st().rules.rules_processed, 0);
    EXPECT_EQ(con.st().config.conf.get(conf_field::rule_count), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ActionsAndKeywords, RuleLineMessage,
    ::testing::Values(
        message_case{"dorp destin APRS", -3, "action dorp invalid"},
        message_case{"dropped destin APRS", -3, "action dropped invalid"},
        message_case{"drop", -72, "missing arguments"},
        message_case{"pass ,,\t ", -72, "missing arguments"},
        message_case{"drop #destin APRS", -5, "missing command"},
        message_case{"drop ;", -5, "missing command"},
        message_case{"drop d APRS", -7, "Ambiguous command: d"},
        message_case{"drop c 10", -7, "Ambiguous command: c"},
        message_case{"drop S APRS", -7, "Ambiguous command: S"},
        message_case{"drop circles 10", -7, "command circles invalid"},
        message_case{"drop destin# APRS", -7, "command destin# invalid"}));

INSTANTIATE_TEST_SUITE_P(
    Callsigns, RuleLineMessage,
    ::testing::Values(
        message_case{"drop destin", -11, "missing Destination"},
        message_case{"drop destin # APRS", -8, "missing Destination string"},
        message_case{"drop destin ABCDEFG", -10, "Destination is too long: ABCDEFG"},
        message_case{"drop destin ABCDEFG-1", -10, "Destination is too long: ABCDEFG"},
        message_case{"drop destin ABCDEFG*", -10, "Destination is too long: ABCDEFG"},
        message_case{"drop destin APRS-16", -9, "invalid SSID range [0..15]: 16"},
        message_case{"drop destin APRS-99999999999", -9, "invalid SSID range [0..15]: 2147483647"},
        message_case{"drop destin APRS-x", -9, "invalid SSID range [0..15]: x"},
        message_case{"drop destin APRS--1", -9, "invalid SSID range [0..15]: -"},
        // A '-' that ends the callsign has no character after it to show.
        message_case{"drop destin APRS-", -9, "invalid SSID range [0..15]: "},
        message_case{"pass source", -13, "missing Source"},
        message_case{"pass source ;APRS", -12, "missing Source string"},
        message_case{"pass source ABCDEFGH", -11, "Source is too long: ABCDEFGH"},
        message_case{"pass source AB-16", -9, "invalid SSID range [0..15]: 16"},
        message_case{"drop digi 2", -67, "missing Digi-n"},
        message_case{"drop digi 2 / RELAY", -61, "missing Digi-n"},
        message_case{"drop digi 2 toolong", -61, "Digi Match: Digi toolong exceeds length 6"},
        message_case{"drop digi 2 relay-x", -61, "Digi Match: Digi relay-x invalid SSID range [0..15]: x"},
        message_case{"drop digi 2 relay-16", -61, "Digi Match: Digi relay-16 invalid SSID range [0..15]: 16"},
        message_case{"drop digi", -69, "missing Match Index"},
        message_case{"drop digi 9 RELAY", -57, "invalid Match Index, range [0..8]: 9"},
        message_case{"drop digi x RELAY", -57, "invalid Match Index, range [0..8]: x"},
        message_case{"drop digi -1 RELAY", -57, "invalid Match Index, range [0..8]: -"}));

INSTANTIATE_TEST_SUITE_P(
    CirclesAndCompasses, RuleLineMessage,
    ::testing::Values(
        message_case{"drop circle", -25, "missing Radius"},
        message_case{"drop circle 0 39d, 105d", -16, "invalid Circle Radius, must be > 0: 0.000000"},
        message_case{"drop circle -2.5 39d, 105d", -16, "invalid Circle Radius, must be > 0: -2.500000"},
        message_case{"drop circle nan 39d, 105d", -16, "invalid Circle Radius, must be > 0: nan"},
        message_case{"drop circle 10", -24, "missing Latitude"},
        message_case{"drop circle 10#, 39d, 105d", -17, "missing Latitude"},
        message_case{"drop circle 10 90.5d, 105d", -19, "invalid Latitude range [-90..90]: 90.500000"},
        message_case{"drop circle 10 39.5, 105d", -19, std::string("invalid Latitude range [-90..90]: ") + flt_max_text,
                     "\a\aError: Dotted format: must have 2 periods: [s][D]DD.MM.[F*]\n"
                     "\tor DMC format must have at least one of [DdMmCc] identifiers\n"},
        message_case{"drop circle 10 39d 105d", -19, std::string("invalid Latitude range [-90..90]: ") + flt_max_text,
                     "\a\aError: DMC format: already have degrees (39.000000)\n"},
        message_case{"drop circle 10  , 105d", -19, std::string("invalid Latitude range [-90..90]: ") + flt_max_text,
                     "\a\aError: Unrecognized format: must be one of Dotted, Colon or DMC\n"},
        message_case{"drop circle 10 39d", -23, "missing Longitude"},
        message_case{"drop circle 10 39d,# 105d", -20, "missing Longitude"},
        message_case{"drop circle 10 39d, -180.5d", -22, "invalid Longitude range [-180..180]: -180.500000"},
        message_case{"drop compass", -37, "missing Compass Direction"},
        message_case{"drop compass NNE 39d, 105d", -27, "invalid compass Direction NNE"},
        message_case{"drop compass n", -36, "missing Latitude"},
        message_case{"drop compass n -91d, 105d", -31, "invalid Latitude range [-90..90]: -91.000000"},
        message_case{"drop compass n 39d", -35, "missing Longitude"},
        message_case{"drop compass n 39d,; 105d", -32, "missing Longitude"},
        message_case{"drop compass n 39d, 200d", -34, "invalid Longitude range [-180..180]: 200.000000"}));

INSTANTIATE_TEST_SUITE_P(
    RectanglesAndSectors, RuleLineMessage,
    ::testing::Values(
        message_case{"drop rectangle", -53, "missing Latitude1"},
        message_case{"drop rectangle 91d, 0d, 0d, 0d", -40, "invalid Latitude1 range [-90..90]: 91.000000"},
        message_case{"drop rectangle 39d", -52, "missing Longitude1"},
        message_case{"drop rectangle 39d, 181d, 0d, 0d", -43, "invalid Longitude1 range [-180..180]: 181.000000"},
        message_case{"drop rectangle 39d, 105d", -51, "missing Latitude2"},
        message_case{"drop rectangle 39d, 105d, -95d, 0d", -46, "invalid Latitude2 range [-90..90]: -95.000000"},
        message_case{"drop rectangle 39d, 105d, 40d", -50, "missing Longitude2"},
        message_case{"drop rectangle 39d, 105d, 40d,# 106d", -47, "missing Longitude2"},
        message_case{"drop rectangle 39d, 105d, 40d, 190d", -49, "invalid Longitude2 range [-180..180]: 190.000000"},
        message_case{"drop sector", -69, "missing Angle1"},
        message_case{"drop sector -1d, 20d, 5", -57, "invalid Angle1, range [0..360]: -1.000000"},
        message_case{"drop sector 10d", -68, "missing Angle2"},
        message_case{"drop sector 10d, -10d, 5", -60, "invalid Angle2, range [0..360]: -10.000000"},
        message_case{"drop sector 10d, 20d", -67, "missing Inner Range"},
        message_case{"drop sector 10d, 20d,# 5", -61, "missing Inner Range"},
        message_case{"drop sector 10d, 20d, .5", -62, "invalid or missing Inner Range"},
        message_case{"drop sector 10d, 20d, x5", -62, "invalid or missing Inner Range"},
        message_case{"drop sector 10d, 20d, 5 5", -66, "invalid Outer Range, must be > Inner Range: 5.000000"},
        message_case{"drop sector 10d, 20d, 5 0", -66, "invalid Outer Range, must be > Inner Range: 0.000000"}));

}  // namespace
}  // namespace zuv
