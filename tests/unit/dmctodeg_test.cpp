#include "coords/dmctodeg.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ostream>
#include <string>

#include "coords/angles.h"
#include "core/output.h"
#include "test_state.h"

namespace zuv {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

struct accepted_case {
    const char* text;
    float expected;  // compared bit for bit
    const char* printed;  // the value as "%f" shows it
};

void PrintTo(const accepted_case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DmctodegAccepts : public ::testing::TestWithParam<accepted_case> {};

TEST_P(DmctodegAccepts, GivesTheSinglePrecisionValueSilently) {
    const accepted_case& c = GetParam();
    string_output out;
    const float got = dmctodeg(out, c.text);
    EXPECT_EQ(out.text, "");
    EXPECT_EQ(bits(got), bits(c.expected)) << c.text << " gave " << got;
    char shown[32];
    std::snprintf(shown, sizeof shown, "%f", static_cast<double>(got));
    EXPECT_STREQ(shown, c.printed) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    AllNotations, DmctodegAccepts,
    ::testing::Values(
        // Colon
        accepted_case{"45:22:33", 45.0f + static_cast<float>(22.0 / 60 + 33.0 / 3600), "45.375832"},
        accepted_case{"-103:00:00", -103.0f, "-103.000000"},
        accepted_case{"45:18:", 45.3f, "45.299999"},
        accepted_case{"-38:33:29.222", -38.0f - static_cast<float>(29.222f / 3600.0 + 33.0 / 60), "-38.558117"},
        accepted_case{"12:30:59.99", 12.0f + static_cast<float>(59.99f / 3600.0 + 0.5), "12.516664"},
        accepted_case{"-0:30:00", -0.5f, "-0.500000"},
        accepted_case{"0:-30:00", -0.5f, "-0.500000"},
        // Dotted
        accepted_case{"45.22.64", 45.0f + static_cast<float>(22.64f / 60.0), "45.377335"},
        accepted_case{"-103.00.", -103.0f, "-103.000000"},
        accepted_case{"-38.33.379", -38.0f - static_cast<float>(33.379f / 60.0), "-38.556316"},
        accepted_case{"-0.30.", -0.5f, "-0.500000"},
        // DMC
        accepted_case{"39d23.7m33.9C", std::bit_cast<float>(0x421d9e1fu), "39.404415"},
        accepted_case{"N 39d 23.7m 33.9c", std::bit_cast<float>(0x421d9e1fu), "39.404415"},
        accepted_case{"39.404415D", 39.404415f, "39.404415"},
        accepted_case{"n39.395d 33.9c", std::bit_cast<float>(0x421d9e20u), "39.404419"},
        accepted_case{"-42.5d", -42.5f, "-42.500000"},
        accepted_case{"42.5dS", -42.5f, "-42.500000"},
        accepted_case{"S42.5d", -42.5f, "-42.500000"},
        accepted_case{"0d30mW", -0.5f, "-0.500000"},
        accepted_case{"0d-30m", -0.5f, "-0.500000"},
        accepted_case{"W40m", -static_cast<float>(40.0 / 60), "-0.666667"},
        accepted_case{"40mW", -static_cast<float>(40.0 / 60), "-0.666667"},
        accepted_case{"45.5d", 45.5f, "45.500000"},
        accepted_case{"45d\n", 45.0f, "45.000000"},
        accepted_case{"N45dE", 45.0f, "45.000000"},
        accepted_case{"360d", 360.0f, "360.000000"},
        accepted_case{"-360d", -360.0f, "-360.000000"},
        accepted_case{"200d", 200.0f, "200.000000"},
        accepted_case{"\t 12d", 12.0f, "12.000000"},
        // A degrees text longer than 19 characters is converted whole.
        accepted_case{"000000000000000000012.5d", 12.5f, "12.500000"}));

struct refused_case {
    std::string text;
    const char* message;
};

void PrintTo(const refused_case& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DmctodegRefuses : public ::testing::TestWithParam<refused_case> {};

TEST_P(DmctodegRefuses, PrintsExactlyOneMessageAndFails) {
    const refused_case& c = GetParam();
    string_output out;
    EXPECT_EQ(bits(dmctodeg(out, c.text)), 0x7F7FFFFFu);
    EXPECT_EQ(out.text, c.message) << "input: " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryMessage, DmctodegRefuses,
    ::testing::Values(
        refused_case{"", "dmctodeg: Error: invalid param inp\n"},
        refused_case{"--5d", "\a\aError: too man minus signs: 2: only one is allowed\n"},
        refused_case{"12:30", "\a\aError: Colon format: must have 2 colons: [s][D]DD:MM:SS[.F*]\n"},
        refused_case{"12:30:00.5.5", "\a\aError: Colon format: too many periods: [s][D]DD:MM:SS[.F*]\n"},
        refused_case{"12:30:00x", "\a\aError: Colon format: has alpha characters: [s][D]DD:MM:SS[.F*]\n"},
        refused_case{"45x", "\a\aError: DMC format must have at least one of [DdMmCc] identifiers\n"
                            "\tor Dotted format: found illegal character: [s][D]DD.MM.[F*]\n"},
        refused_case{"N45dW", "\a\aError: DMC format: both direction chars N and W cannot be specified\n"},
        refused_case{"w45dn", "\a\aError: DMC format: both direction chars n and w cannot be specified\n"},
        refused_case{"-45dS", "\a\aError: DMC format: both minus (-) and direction char S cannot be specified\n"},
        refused_case{"-45dSE", "\a\aError: DMC format: both minus (-) and direction char E cannot be specified\n"},
        refused_case{"45", "\a\aError: Unrecognized format: must be one of Dotted, Colon or DMC\n"},
        refused_case{"45.5", "\a\aError: Dotted format: must have 2 periods: [s][D]DD.MM.[F*]\n"
                             "\tor DMC format must have at least one of [DdMmCc] identifiers\n"},
        refused_case{"45d ", "\a\aInternal Error: pointer mismatch\n"},
        refused_case{"45d30", "\a\aInternal Error: pointer mismatch\n"},
        refused_case{"45\n:30:00", "\a\aInternal Error: pointer mismatch\n"},
        refused_case{"45d30d", "\a\aError: DMC format: already have degrees (45.000000)\n"},
        refused_case{"10m5m", "\a\aError: DMC format: already have minutes (10.000000)\n"},
        refused_case{"1.5c2c", "\a\aError: DMC format: already have seconds (1.500000)\n"},
        refused_case{"45dx", "\a\aError: DMC format: invalid char: x (0x78)\n"},
        refused_case{"45,5d", "\a\aError: DMC format: invalid char: , (0x2c)\n"},
        refused_case{"45d\xb0", "\a\aError: DMC format: invalid char: \xb0 (0xb0)\n"},
        refused_case{"12:60:00", "\a\aError: min 60.000000 is out of range [0..59.99]\n"},
        refused_case{"12:30:60", "\a\aError: sec 60.000000 is out of range [0..59.99]\n"},
        refused_case{"75m75c", "\a\aError: sec 75.000000 is out of range [0..59.99]\n"},
        refused_case{"-60m", "\a\aError: min -60.000000 is out of range [0..59.99]\n"},
        refused_case{"360.5d", "\a\aError: deg 360.500000 is out of range [-180..180]\n"},
        refused_case{"-400.10.", "\a\aError: deg -400.166656 is out of range [-180..180]\n"}));

TEST(Dmctodeg, NegativeMinutesAndSecondsJustAboveMinusSixtyPass) {
    string_output out;
    EXPECT_NE(dmctodeg(out, "10d-59.9m"), dmc_failure);
    EXPECT_NE(dmctodeg(out, "10:00:-59.9"), dmc_failure);
    EXPECT_EQ(out.text, "");
}

TEST(Dmctodeg, TextEndsAtItsFirstNulByte) {
    string_output out;
    EXPECT_EQ(dmctodeg(out, std::string_view("45.5d\0junk", 10)), 45.5f);
    EXPECT_EQ(bits(dmctodeg(out, std::string_view("\0" "45d", 4))), 0x7F7FFFFFu);
    EXPECT_EQ(out.text, "dmctodeg: Error: invalid param inp\n");
}

TEST(Angles, SummaryIsTheFullTextFollowedByOneLineBreak) {
    testing::console_fixture con;
    angles_command(con.st().out);
    EXPECT_EQ(angle_notation_summary.size(), 3384u);
    ASSERT_EQ(con.out.text.size(), 3385u);
    EXPECT_EQ(con.out.text.back(), '\n');
    EXPECT_EQ(con.out.text.substr(0, 68),
              "Colon, Dotted and DMC formats for Angles, Latitudes and Longitudes\n\n");
    for (const char* line : {"\t [s]DD:MM:SS[.F*]\t\tfor Latitudes\n", "\t[s]DDD:MM:SS[.F*]\t\tfor Longitudes\n",
                             "\t [s]DD.MM.[F*]\t\tfor Latitudes\n", "\t[s]DDD.MM.[F*]\t\tfor Longitudes\n",
                             "\tD, d\tDegrees\n", "\tM, m\tMinutes\n", "\tC, c\tseConds\n", "\tN, n\tNorth\n",
                             "\tS, s\tSouth\n", "\tE, e\tEast\n", "\tW, w\tWest\n"})
        EXPECT_NE(con.out.text.find(line), std::string::npos) << line;
}

// Every example the summary shows is one the parser takes.
TEST(Angles, EveryExampleInTheSummaryParses) {
    for (const char* example : {"45:22:33", "-103:00:00", "-38:33:29.222", "45:18:", "45.22.64", "-103.00.",
                                "-38.33.379", "N 39d 23.7m 33.9c", "39d23.7m33.9C", "n39.395d 33.9c",
                                "39.404415D", "-42.5d", "45.22.5"}) {
        ASSERT_NE(angle_notation_summary.find(example), std::string_view::npos) << example;
        string_output out;
        EXPECT_NE(dmctodeg(out, example), dmc_failure) << example << ": " << out.text;
    }
}

}  // namespace
}  // namespace zuv
