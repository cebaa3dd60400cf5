// The dconfigure and deditpath displays, compared byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "config/conf_display.h"
#include "config/conf_record.h"
#include "config/path_edit.h"
#include "config_fixture.h"

namespace zuv {
namespace {

using namespace conf_field;

const std::string default_display =
    "Configuration Version 2.8\n"
    "Station Call\tNOTSET\tSSID 0\t\tRun Mode On\n"
    "Base Lat  39.750000\tLon  -105.00000    Altitude 0 meters\n"
    "Host baud\t19200\n"
    "GPS  baud\t9600\n"
    "TNC  baud\t19200\n"
    "WIDE Max 3\tWIDE Total 6\n"
    "Dupe Window 28 sec.\tCall Rate Limit 0 sec.\n"
    "Beacon 600 sec.\tIcon /#\n"
    "Beacon Comment: \n"
    "Control Call: \n"
    "NSR: Disabled\tRelay Drop: Disabled\n"
    "Digi Path[0]: \n"
    "Log Port: Yes\n"
    "UITrace: No\tHave GPS: No\n"
    "Fix Valid: Yes\tPass packets without valid position: No\n"
    "Halt On Error: No\tDrop Mangled Packet: Yes\n"
    "Rule count 0\tImplicit Rule Action: ?\n";

TEST(ConfDisplay, ShowsTheDefaultsRightAfterStartUp) {
    testing::console_fixture con;
    conf_display(con.st().config);
    EXPECT_EQ(con.out.text, default_display);
}

TEST(ConfDisplay, ShowsEveryFieldOfALoadedFile) {
    testing::console_fixture con;
    con.st().config.conf.set(rule_count, std::uint16_t{3});
    con.st().config.conf.set(implicit_action, implicit_drop);
    ASSERT_EQ(testing::load_text(con,
                                 "call ab1\nssid 15\nposition -38.33.379 174d45m\naltitude -50\n"
                                 "host 9600\ngps 4800\ntnc 57600\nwidemax 2\nwidetotal 4\n"
                                 "dupewin 30\nratelimcall 120\nbeacon 1800\nicon \\&\n"
                                 "bcomment Zuvedidude test site\ncontrolcall ab1-9\nnsr y\nrelaydrop y\n"
                                 "digipath wide1-1,abcdefgh,wide2-1\nlog n\nuitrace\nhavegps y\nfixvalid n\n"
                                 "nonaprs p\nhaltonerr y\ndropmangld n\n"),
              0)
        << con.out.text;
    con.out.text.clear();
    conf_display(con.st().config);
    EXPECT_EQ(con.out.text,
              "Configuration Version 2.8\n"
              "Station Call\t   AB1\tSSID 15\t\tRun Mode On\n"
              "Base Lat -38.556316\tLon   174.75000    Altitude -50 meters\n"
              "Host baud\t9600\n"
              "GPS  baud\t4800\n"
              "TNC  baud\t57600\n"
              "WIDE Max 2\tWIDE Total 4\n"
              "Dupe Window 30 sec.\tCall Rate Limit 120 sec.\n"
              "Beacon 1800 sec.\tIcon \\&\n"
              "Beacon Comment: Zuvedidude test site\n"
              "Control Call: AB1-9\n"
              "NSR: Enabled\tRelay Drop: Enabled\n"
              "Digi Path[3]: WIDE1-1,ABCDEFGH,WIDE2-1\n"
              "Log Port: No\n"
              "UITrace: Yes\tHave GPS: Yes\n"
              "Fix Valid: No\tPass packets without valid position: Yes\n"
              "Halt On Error: Yes\tDrop Mangled Packet: No\n"
              "Rule count 3\tImplicit Rule Action: Drop\n");
}

TEST(ConfDisplay, ValueToWordMappings) {
    struct word_case {
        std::uint16_t implicit;
        std::uint16_t run;
        std::uint16_t icon_word;
        const char* implicit_text;
        const char* run_text;
        const char* icon_text;
    } cases[] = {
        {'p', 1, 0x2F23, "Implicit Rule Action: Pass\n", "Run Mode On\n", "Icon /#\n"},
        {'d', 0, 0x2FA3, "Implicit Rule Action: Drop\n", "Run Mode Off\n", "Icon /#\n"},  // code's top bit cleared
        {'D', 112, 0x5C3E, "Implicit Rule Action: ?\n", "Run Mode On\n", "Icon \\>\n"},
    };
    for (const word_case& c : cases) {
        testing::console_fixture con;
        con.st().config.conf.set(implicit_action, c.implicit);
        con.st().config.conf.set(run_mode, c.run);
        con.st().config.conf.set(icon, c.icon_word);
        conf_display(con.st().config);
        EXPECT_NE(con.out.text.find(c.implicit_text), std::string::npos) << con.out.text;
        EXPECT_NE(con.out.text.find(c.run_text), std::string::npos) << con.out.text;
        EXPECT_NE(con.out.text.find(c.icon_text), std::string::npos) << con.out.text;
    }
}

TEST(ConfDisplay, ACallWithoutItsZeroByteIsCutAtTheField) {
    testing::console_fixture con;
    for (std::size_t i = 0; i < station_call.width; ++i) con.st().config.conf.bytes[station_call.off + i] = 'Q';
    conf_display(con.st().config);
    EXPECT_NE(con.out.text.find("Station Call\tQQQQQQQQ\tSSID 0"), std::string::npos) << con.out.text;
}

TEST(PathEditDisplay, OnlyTheCountsWhenThereAreNoEdits) {
    testing::console_fixture con;
    path_edit_display(con.st().config);
    EXPECT_EQ(con.out.text,
              "Path Substitution: Count  0, Max  8, Entry size 77, Table size 616\n"
              "Path Delete:       Count  0, Max  8, Entry size 12, Table size  96\n");
}

TEST(PathEditDisplay, ShowsEveryEntryInFileOrder) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con,
                                 "substitutepath 1 WIDE1-1 1 MYCALL,WIDE1*\n"
                                 "deletepath 2 RELAY 2\n"
                                 "substitutepath * * * wide2-2\n"
                                 "substitutepath 1 wide2* 1 X\n"
                                 "deletepath * trace-3 *\n"
                                 "substitutepath 0 n0call 3 a-1*,wide3-3*,b-15,c\n"),
              0)
        << con.out.text;
    con.out.text.clear();
    path_edit_display(con.st().config);
    EXPECT_EQ(con.out.text,
              "Path Substitution: Count  4, Max  8, Entry size 77, Table size 616\n"
              "Path Delete:       Count  2, Max  8, Entry size 12, Table size  96\n"
              "#  Type MIndx Match      AIndx Substitution Digi Path\n"
              "\n"
              "1   Sub   1   WIDE1-1      1   MYCALL*,WIDE1*\n"
              "2   Del   2   RELAY        2\n"
              "3   Sub   *   *            *   WIDE2-2\n"
              "4   Sub   1   WIDE2*       1   X*\n"
              "5   Del   *   TRACE-3      *\n"
              "6   Sub   *   N0CALL       3   A-1*,WIDE3*,B-15,C*\n");
}

TEST(PathEditDisplay, TwoDigitEntryNumbersKeepTheColumns) {
    testing::console_fixture con;
    std::string text;
    for (int i = 0; i < 8; ++i) text += "deletepath " + std::to_string(i) + " D " + std::to_string(i) + "\n";
    text += "deletepath 8 abcdef-15 8\nsubstitutepath 8 S 8 A\n";
    ASSERT_EQ(testing::load_text(con, text), -11) << "a ninth delete is refused";
    text.erase(text.find("deletepath 8"), std::string("deletepath 8 abcdef-15 8\n").size());
    text += "substitutepath 8 abcdef-15 8 A\nsubstitutepath 7 S 1 A\n";
    ASSERT_EQ(testing::load_text(con, text), 0) << con.out.text;
    con.out.text.clear();
    path_edit_display(con.st().config);
    const std::string& out = con.out.text;
    EXPECT_NE(out.find("\n10  Sub   8   ABCDEF-15    8   A*\n11  Sub   7   S            1   A*\n"), std::string::npos)
        << out;
}

}  // namespace
}  // namespace zuv
