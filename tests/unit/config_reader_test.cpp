// What the configuration reader stores, down to the bytes of the record, and
// how it treats the file around the lines: start state, line ends, odd bytes.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "config/conf_record.h"
#include "config_fixture.h"
#include "coords/dmctodeg.h"
#include "core/output.h"
#include "failing_stream.h"
#include "temp_dir_test.h"

namespace zuv {
namespace {

using namespace conf_field;

std::vector<std::uint8_t> bytes_of(const conf_record& r, std::size_t off, std::size_t n) {
    return {r.bytes.begin() + static_cast<std::ptrdiff_t>(off), r.bytes.begin() + static_cast<std::ptrdiff_t>(off + n)};
}

// One line, one field: the value a 16-bit field holds afterwards.
struct stored_word {
    const char* line;
    field_at<std::uint16_t> field;
    std::uint16_t value;
};

void PrintTo(const stored_word& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class ConfReaderStoresWord : public ::testing::TestWithParam<stored_word> {};

TEST_P(ConfReaderStoresWord, InItsField) {
    const stored_word& c = GetParam();
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, std::string(c.line) + "\n"), 0) << c.line << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(c.field), c.value) << c.line;
    EXPECT_EQ(con.out.text, "Configuration items processed 1\n");
}

INSTANTIATE_TEST_SUITE_P(
    YesNo, ConfReaderStoresWord,
    ::testing::Values(stored_word{"nsr Yes", nsr, 1}, stored_word{"nsr true", nsr, 1}, stored_word{"nsr 1", nsr, 1},
                      stored_word{"nsr enabled", nsr, 1}, stored_word{"nsr on", nsr, 0},
                      stored_word{"nsr pass", nsr, 0}, stored_word{"nonaprs pass", non_aprs, 1},
                      stored_word{"nonaprs P", non_aprs, 1}, stored_word{"nonaprs off", non_aprs, 0},
                      stored_word{"haltonerr T", halt_on_error, 1}, stored_word{"dropmangld n", drop_mangled, 0},
                      stored_word{"fixvalid no", fix_valid, 0}, stored_word{"relaydrop E", relay_drop, 1},
                      stored_word{"havegps y", have_gps, 1}, stored_word{"log 0", log_port, 0},
                      stored_word{"log\ty ; comment", log_port, 1}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, ConfReaderStoresWord,
    ::testing::Values(stored_word{"ssid 9", ssid, 9}, stored_word{"ssid 010", ssid, 8},
                      stored_word{"ssid 0x0F", ssid, 15}, stored_word{"ssid 08", ssid, 0},
                      stored_word{"ssid 7x", ssid, 7}, stored_word{"widemax 6", wide_max, 6},
                      stored_word{"widetotal 3", wide_total, 3}, stored_word{"dupewin 5", dupe_window, 5},
                      stored_word{"dupewin 500", dupe_window, 500},
                      stored_word{"ratelimcall 65535", call_rate_limit, 65535},
                      stored_word{"ratelimcall none", call_rate_limit, 0}, stored_word{"beacon 0", beacon_interval, 0},
                      stored_word{"beacon 10", beacon_interval, 10}, stored_word{"beacon 0x258", beacon_interval, 600},
                      stored_word{"beacon 01130", beacon_interval, 600},
                      stored_word{"beacon 65535", beacon_interval, 65535}, stored_word{"icon /#", icon, 0x2F23},
                      stored_word{"icon \\X", icon, 0x5C58}, stored_word{"icon j~extra", icon, 0x6A7E},
                      stored_word{"icon 9!", icon, 0x3921}));

INSTANTIATE_TEST_SUITE_P(
    KeywordForms, ConfReaderStoresWord,
    ::testing::Values(stored_word{"SSID 3", ssid, 3}, stored_word{"Ssid,3", ssid, 3}, stored_word{"ss 3", ssid, 3},
                      stored_word{"  ssid\t3", ssid, 3}, stored_word{"du 50", dupe_window, 50},
                      stored_word{"nona y", non_aprs, 1}, stored_word{"ui", ui_trace, 0xFFFF},
                      stored_word{"uitrace whatever follows", ui_trace, 0xFFFF}));

TEST(ConfReader, DupewinIsDecimalSoAHexPrefixIsRefused) {
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, "dupewin 0x10\n"), -11);  // reads as 0
}

TEST(ConfReader, BaudRatesAreCheckedAgainstTheBaudTable) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "HOST 115200\nTnc,56000\ng 4800 ; slow\n"), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(host_baud), 115200u);
    EXPECT_EQ(con.st().config.conf.get(tnc_baud), 56000u);
    EXPECT_EQ(con.st().config.conf.get(gps_baud), 4800u);
    EXPECT_EQ(bytes_of(con.st().config.conf, 0, 4), (std::vector<std::uint8_t>{0x00, 0xC2, 0x01, 0x00}));
}

TEST(ConfReader, AltitudeInMetresOrFeet) {
    struct altitude_case {
        const char* arg;
        std::int32_t metres;
    } cases[] = {{"1000f", 304}, {"328F", 100}, {"-100f", -30}, {"010", 8},     {"0x10", 16},
                 {"100 ft", 100}, {"1609m", 1609}, {"-20", -20},   {"f", 0},       {"99999999999", 2147483647},
                 {"99999999999f", 654720640}};
    for (const altitude_case& c : cases) {
        testing::console_fixture con;
        ASSERT_EQ(testing::load_text(con, std::string("altitude ") + c.arg + "\n"), 0) << c.arg;
        EXPECT_EQ(con.st().config.conf.get(altitude), c.metres) << c.arg;
    }
}

TEST(ConfReader, StationCallKeepsTheBytesAfterItsTerminator) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "call ab\n"), 0);
    EXPECT_EQ(bytes_of(con.st().config.conf, station_call.off, 8),
              (std::vector<std::uint8_t>{'A', 'B', 0, 'S', 'E', 'T', 0, 0}));
    ASSERT_EQ(testing::load_text(con, "call abcdef\n"), 0);
    EXPECT_EQ(bytes_of(con.st().config.conf, station_call.off, 8),
              (std::vector<std::uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 0, 0}));
}

TEST(ConfReader, ControlCallIsUpperCasedOverWhatWasThere) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "controlcall ab1cde-15\ncontrolcall x\n"), 0);
    EXPECT_EQ(bytes_of(con.st().config.conf, control_call.off, 10),
              (std::vector<std::uint8_t>{'X', 0, '1', 'C', 'D', 'E', '-', '1', '5', 0}));
    EXPECT_EQ(con.st().config.conf.get(subst_count), 0u) << "nothing written past the field";
}

TEST(ConfReader, BeaconCommentKeepsCaseBlanksAndCommasAndIsCutAt43) {
    testing::console_fixture con;
    const std::string long_text(50, 'x');
    ASSERT_EQ(testing::load_text(con, "bcomment " + long_text + "\n"), 0);
    EXPECT_EQ(con.st().config.conf.text(beacon_comment), std::string(43, 'x'));
    EXPECT_EQ(con.st().config.conf.bytes[beacon_comment.off + 43], 0);
    ASSERT_EQ(testing::load_text(con, "bcomment " + long_text + "\nbcomment Hi, there  # remark\n"), 0);
    EXPECT_EQ(con.st().config.conf.text(beacon_comment), "Hi, there  ");
    EXPECT_EQ(bytes_of(con.st().config.conf, beacon_comment.off + 11, 33), std::vector<std::uint8_t>(33, 0));
}

TEST(ConfReader, DigiPathElementsFillTheirSlots) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "digipath wide1-1, wide2-1\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 2);
    EXPECT_EQ(con.st().config.conf.text(digi_path, 0), "WIDE1-1");
    EXPECT_EQ(con.st().config.conf.text(digi_path, 1), "WIDE2-1");
    EXPECT_EQ(bytes_of(con.st().config.conf, digi_path.slot(2), 48), std::vector<std::uint8_t>(48, 0));

    ASSERT_EQ(testing::load_text(con, "digipath abcdefgh,relay12 x\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 3);
    EXPECT_EQ(bytes_of(con.st().config.conf, digi_path.off, 8),
              (std::vector<std::uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
    EXPECT_EQ(con.st().config.conf.text(digi_path, 1), "RELAY12");
    EXPECT_EQ(con.st().config.conf.text(digi_path, 2), "X");
}

TEST(ConfReader, DigiPathTakesEightElementsAndIgnoresTheRest) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "digipath a,b,c,d,e,f,g,hhhhhhhh,iiiiiiiiiiii\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 8);
    EXPECT_EQ(con.st().config.conf.text(digi_path, 7), "HHHHHHHH");
    EXPECT_EQ(con.st().config.conf.bytes[beacon_comment.off], 0) << "nothing written past the last slot";
}

TEST(ConfReader, DigiPathEndsAtATabOrACommentButNotAtABlank) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "digipath  relay  wide2-2\tignored\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 2);
    ASSERT_EQ(testing::load_text(con, "digipath wide1-1;wide2-2\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 1);
}

TEST(ConfReader, ANewDigiPathLineReplacesTheOldOne) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "digipath a,b,c\ndigipath x\n"), 0);
    EXPECT_EQ(con.st().config.digi_path_count, 1);
    EXPECT_EQ(con.st().config.conf.text(digi_path, 1), "");
}

TEST(ConfReader, PositionAndLatLonStoreWhatDmctodegGives) {
    string_output quiet;
    const float lat = dmctodeg(quiet, "39d23.7m33.9C");
    const float lon = dmctodeg(quiet, "-104:59:00");
    for (const char* text : {"position 39d23.7m33.9C,-104:59:00", "base\t39d23.7m33.9C -104:59:00 ; home",
                             "pos 39d23.7m33.9C -104:59:00", "lat 39d23.7m33.9C\nlon -104:59:00"}) {
        testing::console_fixture con;
        ASSERT_EQ(testing::load_text(con, std::string(text) + "\n"), 0) << text << con.out.text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(con.st().config.conf.get(latitude)), std::bit_cast<std::uint32_t>(lat)) << text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(con.st().config.conf.get(longitude)), std::bit_cast<std::uint32_t>(lon)) << text;
    }
}

TEST(ConfReader, AnAngleIsNotRangeCheckedBeyondWhatDmctodegAccepts) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "position 200d -360d\n"), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(latitude), 200.0f);
    EXPECT_EQ(con.st().config.conf.get(longitude), -360.0f);
}

TEST(ConfReader, ATwoUitraceFileLeavesUiTraceOff) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "uitrace\n"), 0);
    EXPECT_EQ(bytes_of(con.st().config.conf, ui_trace.off, 2), (std::vector<std::uint8_t>{0xFF, 0xFF}));
    ASSERT_EQ(testing::load_text(con, "uitrace\nuitrace\n"), 0);
    EXPECT_EQ(con.st().config.conf.get(ui_trace), 0u);
}

TEST(ConfReader, WidetotalMayBeLoweredAfterWidemax) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "widemax 1\nwidetotal 2\n"), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(wide_max), 1u);
    EXPECT_EQ(con.st().config.conf.get(wide_total), 2u);
}

// Start state and end state.

TEST(ConfReader, EveryFileStartsFromTheDefaultsButKeepsTheRulesState) {
    struct carry_case {
        std::uint16_t implicit_before;
        std::uint16_t implicit_after;
    } cases[] = {{'d', 'd'}, {'p', 'p'}, {0, 'p'}, {'x', 'p'}};
    for (const carry_case& c : cases) {
        testing::console_fixture con;
        app_state& st = con.st();
        st.config.conf.set(rule_count, std::uint16_t{5});
        st.config.conf.set(implicit_action, c.implicit_before);
        st.config.conf.set(host_baud, std::uint32_t{2400});
        st.config.conf.bytes[conf_record_size - 1] = 0x77;
        st.config.digi_path_count = 4;
        ASSERT_EQ(testing::load_text(con, "# only a comment\n"), 0);
        conf_record want = conf_defaults();
        want.set(rule_count, std::uint16_t{5});
        want.set(implicit_action, c.implicit_after);
        EXPECT_EQ(st.config.conf.bytes, want.bytes) << c.implicit_before;
        EXPECT_EQ(st.config.digi_path_count, 0);
    }
}

TEST(ConfReader, SuccessSetsTheProcessedFlagAndCountsOnlyKeywordLines) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "# c\n\ncall n0call\n   \nssid 1\n; x\nuitrace\n"), 0);
    EXPECT_EQ(con.out.text, "Configuration items processed 3\n");
    EXPECT_EQ(con.st().config.conf_processed, 1);
}

TEST(ConfReader, AFailingLineKeepsWhatCameBeforeIt) {
    testing::console_fixture con;
    app_state& st = con.st();
    EXPECT_EQ(testing::load_text(con, "host 38400\ndigipath a,b,toolongname,d\nssid 3\n"), -11);
    EXPECT_EQ(st.config.conf.get(host_baud), 38400u);
    EXPECT_EQ(st.config.digi_path_count, 2);
    EXPECT_EQ(st.config.conf.text(digi_path, 1), "B");
    EXPECT_EQ(st.config.conf.text(digi_path, 2), "");
    EXPECT_EQ(st.config.conf.get(ssid), 0u);
    EXPECT_EQ(st.config.conf_processed, 0);

    EXPECT_EQ(testing::load_text(con, "position 12:30:00 bad\n"), -11);
    EXPECT_EQ(st.config.conf.get(latitude), 12.5f) << "the latitude is stored before the longitude is read";
    EXPECT_EQ(st.config.conf.get(longitude), default_longitude);
}

TEST(ConfReader, AFailureLeavesAnEarlierSuccessFlagSet) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "ssid 1\n"), 0);
    EXPECT_EQ(testing::load_text(con, "ssid 99\n"), -11);
    EXPECT_EQ(con.st().config.conf_processed, 1);
}

TEST(ConfReader, AnEmptyFileLoadsTheDefaults) {
    testing::console_fixture con;
    con.st().config.conf.set(ssid, std::uint16_t{5});
    ASSERT_EQ(testing::load_text(con, ""), 0);
    EXPECT_EQ(con.out.text, "Configuration items processed 0\n");
    EXPECT_EQ(con.st().config.conf.get(ssid), 0u);
    EXPECT_EQ(con.st().config.conf_processed, 1);
}

// Lines as bytes.

TEST(ConfReader, CrLfEndingsAndAMissingFinalLineFeed) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "call ab\r\nssid 4\r\nbcomment hi there\r\nbeacon 60"), 0);
    EXPECT_EQ(con.st().config.conf.text(station_call), "AB");
    EXPECT_EQ(con.st().config.conf.text(beacon_comment), "hi there");
    EXPECT_EQ(con.st().config.conf.get(beacon_interval), 60u);

    EXPECT_EQ(testing::load_text(con, "ssid 4\r\nssid 44\r\n"), -11);
    EXPECT_EQ(con.out.text.substr(con.out.text.find("\a")),
              testing::at_line(2) + "invalid SSID argument range [0..15]: 44: ssid 44\n");
}

TEST(ConfReader, LongLinesArriveInPiecesOf255WithTheirOwnNumbers) {
    // 255 characters: "host 38400" and blanks; the rest of the line comes as line 2.
    const std::string first = "host 38400" + std::string(245, ' ');
    ASSERT_EQ(first.size(), 255u);
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, "# one\n" + first + "hostx\nssid 1\n"), -7);
    EXPECT_EQ(con.out.text, testing::at_line(3) + "command hostx invalid: hostx\n");
    EXPECT_EQ(con.st().config.conf.get(host_baud), 38400u);
}

TEST(ConfReader, ALineOfExactly255CharactersIsOneLine) {
    const std::string full = "bcomment " + std::string(246, 'c');
    ASSERT_EQ(full.size(), 255u);
    for (const char* ending : {"\n", "\r\n"}) {
        testing::console_fixture con;
        EXPECT_EQ(testing::load_text(con, full + ending + "hostx\n"), -7);
        EXPECT_EQ(con.out.text, testing::at_line(2) + "command hostx invalid: hostx\n") << "ending " << ending;
    }
    // The CR of a CR LF split by the 255-character limit is still part of the line end.
    testing::console_fixture con;
    EXPECT_EQ(testing::load_text(con, "ssid 1" + std::string(248, ' ') + "\r\nhostx\n"), -7);
    EXPECT_EQ(con.out.text, testing::at_line(2) + "command hostx invalid: hostx\n");
}

TEST(ConfReader, ALineEndsAtANulByte) {
    testing::console_fixture con;
    const char raw[] = "call ab\0cd\nssid 2\n\0hostx\nbcomment x\0y\n";
    const std::string text(raw, sizeof raw - 1);
    ASSERT_EQ(testing::load_text(con, text), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.text(station_call), "AB");
    EXPECT_EQ(con.st().config.conf.get(ssid), 2u);
    EXPECT_EQ(con.st().config.conf.text(beacon_comment), "x");
    EXPECT_EQ(con.out.text, "Configuration items processed 3\n");
}

TEST(ConfReader, BytesAbove0x7FAreOrdinaryCharacters) {
    testing::console_fixture con;
    ASSERT_EQ(testing::load_text(con, "call \xe9\xe9z\nbcomment caf\xe9 \xff\n"), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.text(station_call), "\xe9\xe9Z");
    EXPECT_EQ(con.st().config.conf.text(beacon_comment), "caf\xe9 \xff");
}

// Opening the named file.

class ConfProcessFile : public testing::temp_dir_test {};

TEST_F(ConfProcessFile, ReadsANamedFileWithBlanksInItsName) {
    testing::console_fixture con;
    const std::string path = write("my station.cfg", "ssid 6\n");
    EXPECT_EQ(conf_process(con.st().config, path.c_str()), 0);
    EXPECT_EQ(con.st().config.conf.get(ssid), 6u);
}

TEST_F(ConfProcessFile, ANameThatCannotBeReadLeavesTheRecordUntouched) {
    const std::string missing = (dir_ / "missing.cfg").string();
    const std::string directory = dir_.string();
    for (const std::string& name : {missing, directory}) {
        testing::console_fixture con;
        con.st().config.conf.set(ssid, std::uint16_t{5});
        con.st().config.conf.set(implicit_action, std::uint16_t{0});
        EXPECT_EQ(conf_process(con.st().config, name.c_str()), -2) << name;
        EXPECT_EQ(con.out.text, "\a\aError: cannot open " + name + "\n");
        EXPECT_EQ(con.st().config.conf.get(ssid), 5u);
        EXPECT_EQ(con.st().config.conf.get(implicit_action), 0u);
        EXPECT_EQ(con.st().config.conf_processed, 0);
    }
}

TEST_F(ConfProcessFile, AStreamThatFailsIsNotTakenForAWholeFile) {
    testing::console_fixture con;
    std::FILE* fp = std::fopen(dir_.string().c_str(), "r");  // a directory: opens here, fails at the first read
    if (fp == nullptr) GTEST_SKIP() << "this system does not open directories";
    EXPECT_EQ(conf_process_stream(con.st().config, fp, "d.cfg"), -2);
    std::fclose(fp);
    EXPECT_EQ(con.out.text, "\a\aError: cannot read d.cfg\n");
    EXPECT_EQ(con.st().config.conf_processed, 0);
}

TEST(ConfReader, AFileThatBreaksOffIsNeverTakenForAWholeOne) {
    // The lines before the error stay loaded; a last line that the error cut
    // off is not read as a line.
    const struct {
        const char* text;
        unsigned ssid_after;
    } cases[] = {{"ssid 4\nssid 5\n", 5}, {"ssid 4\nssid 5", 4}};
    for (const auto& c : cases) {
        testing::console_fixture con;
        std::FILE* fp = testing::failing_stream(c.text);
        ASSERT_NE(fp, nullptr);
        EXPECT_EQ(conf_process_stream(con.st().config, fp, "t.cfg"), -2) << c.text;
        std::fclose(fp);
        EXPECT_EQ(con.out.text, "\a\aError: cannot read t.cfg\n") << c.text;
        EXPECT_EQ(con.st().config.conf.get(ssid), c.ssid_after) << c.text;
        EXPECT_EQ(con.st().config.conf_processed, 0);
    }
}

TEST_F(ConfProcessFile, MessagesNameTheFileAsGiven) {
    testing::console_fixture con;
    const std::string path = write("bad.cfg", "nsr\n");
    EXPECT_EQ(conf_process(con.st().config, path.c_str()), -11);
    EXPECT_EQ(con.out.text, "\a\aError: " + path + "[1]: missing y | n argument: nsr\n");
}

TEST(ConfReader, MessagesNameTheTrueLineBeyond32767) {
    for (const int blank_lines : {32766, 32767, 40000, 70000}) {
        testing::console_fixture con;
        EXPECT_EQ(testing::load_text(con, std::string(static_cast<std::size_t>(blank_lines), '\n') + "ssid 16\n"), -11);
        EXPECT_EQ(con.out.text, testing::at_line(blank_lines + 1) + "invalid SSID argument range [0..15]: 16: ssid 16\n")
            << blank_lines;
    }
}

}  // namespace
}  // namespace zuv
