// Every refusal of the configuration reader, each as a one-line file: the
// exact message and the result code.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "config_fixture.h"

namespace zuv {
namespace {

struct refused_line {
    const char* line;
    int rc;
    const char* message;  // after "\a\aError: t.cfg[1]: ", unless it starts with a BEL or a name
};

void PrintTo(const refused_line& c, std::ostream* os) { *os << '"' << c.line << '"'; }

std::string expected_message(const refused_line& c) {
    const std::string m = c.message;
    if (m.rfind("\a", 0) == 0 || m.rfind("get_baud", 0) == 0) return m;
    return testing::at_line(1) + m;
}

class ConfReaderRefuses : public ::testing::TestWithParam<refused_line> {};

TEST_P(ConfReaderRefuses, PrintsOneMessageAndStops) {
    const refused_line& c = GetParam();
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, std::string(c.line) + "\nhost 38400\n"), c.rc) << c.line;
    EXPECT_EQ(con.out.text, expected_message(c)) << c.line;
    EXPECT_EQ(con.st().config.conf.get(conf_field::host_baud), 19200u) << "the next line must not be read";
    EXPECT_EQ(con.st().config.conf_processed, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, ConfReaderRefuses,
    ::testing::Values(
        refused_line{"h 19200", -7, "Ambiguous command: h: h 19200\n"},
        refused_line{"b 1", -7, "Ambiguous command: b: b 1\n"},
        refused_line{"hostx 19200", -7, "command hostx invalid: hostx 19200\n"},
        refused_line{"host#19200", -7, "command host#19200 invalid: host#19200\n"},
        refused_line{"\xe9t\xe9 1", -7, "command \xe9t\xe9 invalid: \xe9t\xe9 1\n"}));

INSTANTIATE_TEST_SUITE_P(
    MissingArguments, ConfReaderRefuses,
    ::testing::Values(
        refused_line{"host", -11, "missing Baud argument: host\n"},
        refused_line{"host ; 19200", -8, "missing Baud argument: host ; 19200\n"},
        refused_line{"tnc #", -11, "missing Baud argument: tnc #\n"},
        refused_line{"gps\t/9600", -8, "missing Baud argument: gps\t/9600\n"},
        refused_line{"call", -11, "missing Call Sign argument: call\n"},
        refused_line{"ssid ;5", -8, "missing SSID argument: ssid ;5\n"},
        refused_line{"position", -11, "missing Station Latitude argument: position\n"},
        refused_line{"position 39:45:00", -11, "missing Station Longitude argument: position 39:45:00\n"},
        refused_line{"base 39:45:00 ; -105:00:00", -8,
                     "missing Station Longitude argument: base 39:45:00 ; -105:00:00\n"},
        refused_line{"lat", -11, "missing Station Latitude argument: lat\n"},
        refused_line{"lon ,", -11, "missing Station Longitude argument: lon ,\n"},
        refused_line{"altitude", -11, "missing Altitude argument: altitude\n"},
        refused_line{"widemax", -11, "missing n argument: widemax\n"},
        refused_line{"widetotal # 6", -8, "missing n argument: widetotal # 6\n"},
        refused_line{"nsr", -11, "missing y | n argument: nsr\n"},
        refused_line{"log ; y", -8, "missing y | n argument: log ; y\n"},
        refused_line{"dupewin", -11, "missing seconds argument: dupewin\n"},
        refused_line{"ratelimcall", -11, "missing seconds argument: ratelimcall\n"},
        refused_line{"beacon", -11, "missing seconds argument: beacon\n"},
        refused_line{"digipath", -11, "missing Digi Path argument: digipath\n"},
        refused_line{"digipath ; wide1-1", -8, "missing Digi Path argument: digipath ; wide1-1\n"},
        refused_line{"bcomment", -11, "missing Beacon Comment argument: bcomment\n"},
        refused_line{"bcomment #hello", -8, "missing Beacon Comment argument: bcomment #hello\n"},
        refused_line{"icon", -8, "missing Beacon Icon argument: icon\n"},
        refused_line{"controlcall", -11, "missing Control Call-SSID argument: controlcall\n"}));

INSTANTIATE_TEST_SUITE_P(
    InvalidArguments, ConfReaderRefuses,
    ::testing::Values(
        refused_line{"host 28800", -11, "invalid Baud argument: 28800: host 28800\n"},
        refused_line{"host fast", -11,
                     "get_baud: Error: invalid baud: 0\n\a\aError: t.cfg[1]: invalid Baud argument: 0: host fast\n"},
        refused_line{"call ABCDEFG", -11, "invalid Call Sign argument: too long: call ABCDEFG\n"},
        refused_line{"ssid 16", -11, "invalid SSID argument range [0..15]: 16: ssid 16\n"},
        refused_line{"ssid 0x10", -11, "invalid SSID argument range [0..15]: 16: ssid 0x10\n"},
        refused_line{"ssid -1", -11, "invalid SSID argument range [0..15]: -1: ssid -1\n"},
        refused_line{"ssid x", -11, "invalid SSID argument range [0..15]: 0: ssid x\n"},
        refused_line{"position 45 -105:00:00", -11,
                     "\a\aError: Unrecognized format: must be one of Dotted, Colon or DMC\n"
                     "\a\aError: t.cfg[1]: invalid Station Latitude argument: 45: position 45 -105:00:00\n"},
        refused_line{"position 39:45:00 12:30", -11,
                     "\a\aError: Colon format: must have 2 colons: [s][D]DD:MM:SS[.F*]\n"
                     "\a\aError: t.cfg[1]: invalid Station Longitude argument: 12:30: position 39:45:00 12:30\n"},
        refused_line{"lat #5", -11,
                     "\a\aError: Unrecognized format: must be one of Dotted, Colon or DMC\n"
                     "\a\aError: t.cfg[1]: invalid Station Latitude argument: #5: lat #5\n"},
        refused_line{"lon 360.5d", -11,
                     "\a\aError: deg 360.500000 is out of range [-180..180]\n"
                     "\a\aError: t.cfg[1]: invalid Station Longitude argument: 360.5d: lon 360.5d\n"},
        refused_line{"widemax 0", -11, "invalid n argument range [1..6]: 0: widemax 0\n"},
        refused_line{"widemax 7", -11, "invalid n argument range [1..6]: 7: widemax 7\n"},
        refused_line{"widetotal x", -11, "invalid n argument range [1..6]: 0: widetotal x\n"},
        refused_line{"widetotal 2", -11, "invalid n argument 2 must be >= WIDEMAX: 3: widetotal 2\n"},
        refused_line{"dupewin 4", -11, "invalid seconds argument range [5..500]: 4: dupewin 4\n"},
        refused_line{"dupewin 501", -11, "invalid seconds argument range [5..500]: 501: dupewin 501\n"},
        refused_line{"ratelimcall 65536", -11,
                     "invalid seconds argument range [0..65535]: 65536: ratelimcall 65536\n"},
        refused_line{"ratelimcall -1", -11, "invalid seconds argument range [0..65535]: -1: ratelimcall -1\n"},
        refused_line{"beacon 9", -11, "invalid seconds argument range [0, 10..65535]: 9: beacon 9\n"},
        refused_line{"beacon 0x10000", -11,
                     "invalid seconds argument range [0, 10..65535]: 65536: beacon 0x10000\n"},
        refused_line{"digipath a,abcdefghi", -11, "Digi Path[2]: abcdefghi exceeds length 8: digipath a,abcdefghi\n"},
        refused_line{"icon #/", -8, "Icon Symbol ID must be one of / \\ 0..9 a..j A..Z: icon #/\n"},
        refused_line{"icon k#", -8, "Icon Symbol ID must be one of / \\ 0..9 a..j A..Z: icon k#\n"},
        refused_line{"icon /", -8, "Icon Code must be in range [!..~]: icon /\n"},
        refused_line{"icon /\x7f", -8, "Icon Code must be in range [!..~]: icon /\x7f\n"},
        refused_line{"controlcall AB1CDEF-15", -11,
                     "invalid Control Call-SSID argument: too long (max is 9): controlcall AB1CDEF-15\n"}));

// The path-edit codes of their own are tested with path_edit_add; here the
// reader turns every one of them into its -11.
INSTANTIATE_TEST_SUITE_P(
    PathEdits, ConfReaderRefuses,
    ::testing::Values(
        refused_line{"substitutepath", -11, "argument(s) missing: Match Index\nsubstitutepath\n"},
        refused_line{"deletepath 9 X 1", -11, "Invalid Digi Match Index [0..8]: 9\ndeletepath 9 X 1\n"},
        refused_line{"substitutepath 1 X 1 ; A", -11,
                     "argument(s) missing: Substitution Path\nsubstitutepath 1 X 1 ; A\n"}));

TEST(ConfReader, WidemaxIsCheckedAgainstTheCurrentWidetotal) {
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, "widetotal 4\nwidemax 5\n"), -11);
    EXPECT_EQ(con.out.text, testing::at_line(2) + "invalid n argument 5 must be <= WIDETOTAL: 4: widemax 5\n");
}

TEST(ConfReader, MessagesCountEveryLineIncludingBlankAndCommentLines) {
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, "# heading\n\n   \n\t,\n; note\nhost 38400\n/ more\nhostx\n"), -7);
    EXPECT_EQ(con.out.text, testing::at_line(8) + "command hostx invalid: hostx\n");
}

TEST(ConfReader, NullNameIsRefusedBeforeAnythingElse) {
    testing::console_fixture con;
    con.st().config.conf.set(conf_field::rule_count, std::uint16_t{4});
    EXPECT_EQ(conf_process(con.st().config, nullptr), -1);
    EXPECT_EQ(con.out.text, "conf_process: Error: param conf_fp is invalid\n");
    EXPECT_EQ(con.st().config.conf.get(conf_field::implicit_action), 0u);
}

}  // namespace
}  // namespace zuv
