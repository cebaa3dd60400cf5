// Path edits: the bytes of each entry and digi list, every refusal with its
// code and message, the limits, duplicates and the deditpath display.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "config/conf_record.h"
#include "config/path_edit.h"
#include "config_fixture.h"

namespace zuv {
namespace {

using bytes = std::vector<std::uint8_t>;

bytes entry_bytes(const config_state& st, int n) {
    const auto e = st.conf.slot(conf_field::path_edit_table, static_cast<std::size_t>(n));
    return {e.begin(), e.end()};
}

bytes list_bytes(const config_state& st, int n) {
    const auto l = st.conf.slot(conf_field::subst_lists, static_cast<std::size_t>(n));
    return {l.begin(), l.end()};
}

// A 12-byte entry from its fields.
bytes entry(const char* call, std::uint8_t ssid_byte, std::uint8_t match, std::uint8_t action, std::uint8_t list,
            std::uint8_t flags) {
    bytes e(12, 0);
    for (int i = 0; call[i] != '\0'; ++i) e[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(call[i]);
    e[7] = ssid_byte;
    e[8] = match;
    e[9] = action;
    e[10] = list;
    e[11] = flags;
    return e;
}

struct digi {
    const char* call;
    std::uint8_t octet;
};

// A 65-byte substitution list from its digis.
bytes list(std::initializer_list<digi> digis) {
    bytes l(65, 0);
    std::size_t slot = 0;
    for (const digi& d : digis) {
        for (int i = 0; d.call[i] != '\0'; ++i) l[slot * 8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(d.call[i]);
        l[slot * 8 + 7] = d.octet;
        ++slot;
    }
    l[64] = static_cast<std::uint8_t>(slot);
    return l;
}

int add(testing::console_fixture& con, const std::string& line) {
    conf_line_context ctx;
    return testing::add_path_edit_line(con, ctx, line);
}

TEST(PathEditAdd, StoresTheEntryAndItsDigiList) {
    testing::console_fixture con;
    const app_state& st = con.st();
    ASSERT_EQ(add(con, "substitutepath 1 WIDE1-1 1 MYCALL,WIDE1*"), 0) << con.out.text;
    EXPECT_EQ(entry_bytes(st.config, 0), entry("WIDE1", 2, 1, 1, 0, 0x41));
    EXPECT_EQ(list_bytes(st.config, 0), list({{"MYCALL", 0xE0}, {"WIDE1", 0xE0}}));

    ASSERT_EQ(add(con, "substitutepath * * * wide2-2"), 0) << con.out.text;
    EXPECT_EQ(entry_bytes(st.config, 1), entry("", 0, 0, 0, 1, 0x31));
    EXPECT_EQ(list_bytes(st.config, 1), list({{"WIDE2", 0x64}}));

    ASSERT_EQ(add(con, "deletepath 2 RELAY 2"), 0) << con.out.text;
    EXPECT_EQ(entry_bytes(st.config, 2), entry("RELAY", 0, 2, 2, 0, 0x02));

    ASSERT_EQ(add(con, "substitutepath 1 wide2* 1 X"), 0) << con.out.text;
    EXPECT_EQ(entry_bytes(st.config, 3), entry("WIDE2", 0, 1, 1, 2, 0x11));
    EXPECT_EQ(list_bytes(st.config, 2), list({{"X", 0xE0}}));

    EXPECT_EQ(st.config.conf.get(conf_field::subst_count), 3u);
    EXPECT_EQ(st.config.conf.get(conf_field::delete_count), 1u);
    EXPECT_EQ(con.out.text, "");
}

TEST(PathEditAdd, DigiMatchForms) {
    struct match_case {
        const char* match;
        bytes stored;  // first 8 bytes: call and ssid byte
        std::uint8_t modifiers;
    } cases[] = {
        {"*", bytes(8, 0), 0x30},
        {"*anything", bytes(8, 0), 0x30},
        {"n0c*", {'N', '0', 'C', 0, 0, 0, 0, 0}, 0x10},
        {"relay-0", {'R', 'E', 'L', 'A', 'Y', 0, 0, 0}, 0x40},
        {"abcdef-15", {'A', 'B', 'C', 'D', 'E', 'F', 0, 30}, 0x40},
        {"relay", {'R', 'E', 'L', 'A', 'Y', 0, 0, 0}, 0x00},
        {"ab-1*", {'A', 'B', '-', '1', 0, 0, 0, 0}, 0x10},  // a '*' wins over the '-'
    };
    for (const match_case& c : cases) {
        testing::console_fixture con;
        ASSERT_EQ(add(con, std::string("deletepath 0 ") + c.match + " 0"), 0) << c.match << con.out.text;
        const bytes e = entry_bytes(con.st().config, 0);
        EXPECT_EQ(bytes(e.begin(), e.begin() + 8), c.stored) << c.match;
        EXPECT_EQ(e[11], 0x02 | c.modifiers) << c.match;
    }
}

TEST(PathEditAdd, DigiOctetsCarrySsidAndRepeatedBit) {
    struct octet_case {
        const char* digi;
        const char* call;
        std::uint8_t octet;
    } cases[] = {
        {"n0call-1", "N0CALL", 0x62},  {"relay-15", "RELAY", 0x7E}, {"relay", "RELAY", 0xE0},
        {"relay-0", "RELAY", 0xE0},    {"relay*", "RELAY", 0xE0},   {"relay-3*", "RELAY", 0xE6},
        {"relay*-3", "RELAY", 0xE6},   {"wide2-2*", "WIDE2", 0xE0}, {"Wide*", "WIDE", 0xE0},
        {"wid-2*", "WID", 0xE4},       {"x-09", "X", 0x72},
    };
    for (const octet_case& c : cases) {
        testing::console_fixture con;
        ASSERT_EQ(add(con, std::string("substitutepath 0 X 0 ") + c.digi), 0) << c.digi << con.out.text;
        EXPECT_EQ(list_bytes(con.st().config, 0), list({{c.call, c.octet}})) << c.digi;
    }
}

TEST(PathEditAdd, DigiListEndsAtTheCommentOrAfterEightDigis) {
    testing::console_fixture con;
    ASSERT_EQ(add(con, "substitutepath 1 X 1 A,B,C,D,E,F,G,H,I"), 0);
    EXPECT_EQ(list_bytes(con.st().config, 0),
              list({{"A", 0xE0}, {"B", 0xE0}, {"C", 0xE0}, {"D", 0xE0}, {"E", 0xE0}, {"F", 0xE0}, {"G", 0xE0}, {"H", 0xE0}}));
    ASSERT_EQ(add(con, "substitutepath 2 X 1 A ; B"), 0);
    EXPECT_EQ(list_bytes(con.st().config, 1), list({{"A", 0xE0}}));
    ASSERT_EQ(add(con, "substitutepath 3 X 1 A\tB/C"), 0);
    EXPECT_EQ(list_bytes(con.st().config, 2), list({{"A", 0xE0}, {"B", 0xE0}}));
    EXPECT_EQ(con.out.text, "");
    // ';' may separate the first three arguments, but it starts the comment,
    // so the digis after it count as missing.
    EXPECT_EQ(add(con, "substitutepath 4;X;1 A"), -16);
    ASSERT_EQ(add(con, "deletepath 4;X;1"), 0);
    EXPECT_EQ(entry_bytes(con.st().config, 3), entry("X", 0, 4, 1, 0, 0x02));
}

TEST(PathEditAdd, OnlyTheDigisAreTestedAgainstTheComment) {
    testing::console_fixture con;
    ASSERT_EQ(add(con, "deletepath 1 X 3#note"), 0);
    EXPECT_EQ(entry_bytes(con.st().config, 0)[9], 3);
    ASSERT_EQ(add(con, "deletepath 1 Y ;4"), 0);
    EXPECT_EQ(entry_bytes(con.st().config, 1)[9], 4);
}

// Refusals: the code and the whole message.
struct refused_edit {
    const char* line;
    int rc;
    const char* message;  // after "\a\aError: t.cfg[1]: "
};

void PrintTo(const refused_edit& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class PathEditRefuses : public ::testing::TestWithParam<refused_edit> {};

TEST_P(PathEditRefuses, WithItsCodeAndMessage) {
    const refused_edit& c = GetParam();
    testing::console_fixture con;
    EXPECT_EQ(add(con, c.line), c.rc);
    EXPECT_EQ(con.out.text, testing::at_line(1) + c.message);
    EXPECT_EQ(con.st().config.conf.get(conf_field::subst_count), 0u);
    EXPECT_EQ(con.st().config.conf.get(conf_field::delete_count), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PathEditRefuses,
    ::testing::Values(
        refused_edit{"substitutepath", -6, "argument(s) missing: Match Index\nsubstitutepath\n"},
        refused_edit{"deletepath ,", -6, "argument(s) missing: Match Index\ndeletepath ,\n"},
        refused_edit{"deletepath x X 1", -7, "Invalid Digi Match Index [0..8]: x\ndeletepath x X 1\n"},
        refused_edit{"deletepath -1 X 1", -7, "Invalid Digi Match Index [0..8]: -1\ndeletepath -1 X 1\n"},
        refused_edit{"deletepath 9 X 1", -8, "Invalid Digi Match Index [0..8]: 9\ndeletepath 9 X 1\n"},
        refused_edit{"deletepath 264 X 1", -8, "Invalid Digi Match Index [0..8]: 264\ndeletepath 264 X 1\n"},
        refused_edit{"deletepath 1", -9, "argument(s) missing: Digi Match\ndeletepath 1\n"},
        refused_edit{"deletepath 1 relay-x 1", -10,
                     "Digi Match: Digi relay invalid SSID range [0..15]: x\ndeletepath 1 relay-x 1\n"},
        refused_edit{"deletepath 1 relay-16 1", -11,
                     "Digi Match: Digi relay invalid SSID range [0..15]: 16\ndeletepath 1 relay-16 1\n"},
        refused_edit{"substitutepath 1 ABCDEFG 1 X", -12,
                     "Digi Match: Digi ABCDEFG exceeds length 6\nsubstitutepath 1 ABCDEFG 1 X\n"},
        refused_edit{"substitutepath 1 X", -13, "argument(s) missing: Substitution Index\nsubstitutepath 1 X\n"},
        refused_edit{"substitutepath 1 X a B", -14, "Invalid Digi Action Index [0..8]: a\nsubstitutepath 1 X a B\n"},
        refused_edit{"substitutepath 1 X 12 B", -15,
                     "Invalid Digi Action Index [0..8]: 12\nsubstitutepath 1 X 12 B\n"},
        refused_edit{"substitutepath 1 X 1", -16, "argument(s) missing: Substitution Path\nsubstitutepath 1 X 1\n"},
        refused_edit{"substitutepath 1 X 1 ; A", -16,
                     "argument(s) missing: Substitution Path\nsubstitutepath 1 X 1 ; A\n"},
        refused_edit{"substitutepath 1 X 1;A", -16, "argument(s) missing: Substitution Path\nsubstitutepath 1 X 1;A\n"},
        refused_edit{"substitutepath 1 X 1 A,b-z", -17,
                     "Digi Substitution[2]: b invalid SSID range [0..15]: z\nsubstitutepath 1 X 1 A,b-z\n"},
        refused_edit{"substitutepath 1 WIDE1-1 1 WIDE2-16", -18,
                     "Digi Substitution[1]: WIDE2 invalid SSID range [0..15]: 16\n"
                     "substitutepath 1 WIDE1-1 1 WIDE2-16\n"},
        refused_edit{"substitutepath 1 X 1 A,B,toolong", -19,
                     "Digi Substitution[3]: toolong exceeds length 6\nsubstitutepath 1 X 1 A,B,toolong\n"},
        refused_edit{"substitutepath 7 X 7 A,B,C", -20,
                     "Digi Substitution Index (7) and Number of Substitution Digis (3) exceeds Maximum (8)\n"
                     "substitutepath 7 X 7 A,B,C\n"},
        refused_edit{"deletepath 1 X", -21, "argument(s) missing: Delete Index\ndeletepath 1 X\n"},
        refused_edit{"deletepath 1 X #", -21, "argument(s) missing: Delete Index\ndeletepath 1 X #\n"},
        refused_edit{"deletepath 1 X y", -22, "Invalid Digi Action Index [0..8]: y\ndeletepath 1 X y\n"},
        refused_edit{"deletepath 1 X 9", -23, "Invalid Digi Action Index [0..8]: 9\ndeletepath 1 X 9\n"}));

TEST(PathEditAdd, AnSsidLeftEmptyNamesTheZeroByteAfterTheDash) {
    testing::console_fixture con;
    EXPECT_EQ(add(con, "deletepath 1 relay- 1"), -10);
    EXPECT_EQ(con.out.text, testing::at_line(1) + "Digi Match: Digi relay invalid SSID range [0..15]: " +
                                std::string(1, '\0') + "\ndeletepath 1 relay- 1\n");
}

TEST(PathEditAdd, ChecksItsOwnArgumentsFirst) {
    testing::console_fixture con;
    conf_line_context ctx;
    char args[] = "1 X 1";
    EXPECT_EQ(path_edit_add(con.st().config, ctx, 46, nullptr, args), -1);
    EXPECT_EQ(path_edit_add(con.st().config, ctx, 45, "x", args), -2);
    EXPECT_EQ(path_edit_add(con.st().config, ctx, 46, "x", nullptr), -3);
    EXPECT_EQ(con.out.text,
              "path_edit_add: Error: invalid param cmd_name ptr\n"
              "path_edit_add: Error: invalid command: 45\n"
              "path_edit_add: Error: invalid param args ptr\n");
    EXPECT_EQ(check_path_edit_dupe(con.st().config, nullptr), -1);
    EXPECT_EQ(con.out.text.substr(con.out.text.rfind("check")), "check_path_edit_dupe: Error: invalid param poe ptr\n");
}

TEST(PathEditAdd, TheMaximumCheckCountsTheDigisBehindTheIndex) {
    struct max_case {
        const char* line;
        int rc;
    } cases[] = {{"substitutepath 7 X 6 A,B,C", 0},
                 {"substitutepath 7 X 7 A,B", 0},
                 {"substitutepath 1 X 1 A,B,C,D,E,F,G,H", 0},
                 {"substitutepath 1 X 2 A,B,C,D,E,F,G,H", -20},
                 {"substitutepath 1 X 0 A,B,C,D,E,F,G,H", 0},
                 {"substitutepath 1 X 8 A", 0}};
    for (const max_case& c : cases) {
        testing::console_fixture con;
        EXPECT_EQ(add(con, c.line), c.rc) << c.line;
    }
}

TEST(PathEditAdd, SubstitutionsAndDeletesAreFullAtEightEach) {
    testing::console_fixture con;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(add(con, "substitutepath " + std::to_string(i) + " S 0 A"), 0) << i << con.out.text;
        ASSERT_EQ(add(con, "deletepath " + std::to_string(i) + " D 0"), 0) << i << con.out.text;
    }
    EXPECT_EQ(path_edits_in_use(con.st().config.conf), 16);
    const conf_record before = con.st().config.conf;
    EXPECT_EQ(add(con, "substitutepath 8 S 0 A"), -4);
    EXPECT_EQ(add(con, "deletepath 8 D 0"), -5);
    EXPECT_EQ(con.st().config.conf.bytes, before.bytes) << "a full table is not written at all";
    // The list slots follow the substitutions, not the entry slots.
    EXPECT_EQ(entry_bytes(con.st().config, 14)[10], 7);
    EXPECT_EQ(list_bytes(con.st().config, 7), list({{"A", 0xE0}}));
}

TEST(PathEditAdd, NinthSubstitutionIsRefusedEvenWithFreeEntrySlots) {
    testing::console_fixture con;
    for (int i = 0; i < 8; ++i) ASSERT_EQ(add(con, "substitutepath " + std::to_string(i) + " S 0 A"), 0);
    EXPECT_EQ(add(con, "substitutepath 8 S 0 A"), -4);
    EXPECT_EQ(con.out.text, testing::at_line(1) + "substitutions are full: 8\nsubstitutepath 8 S 0 A\n");
    ASSERT_EQ(add(con, "deletepath 1 D 1"), 0);
    con.out.text.clear();
    for (int i = 2; i < 9; ++i) ASSERT_EQ(add(con, "deletepath " + std::to_string(i) + " D 1"), 0);
    EXPECT_EQ(add(con, "deletepath 0 D 1"), -5);
    EXPECT_EQ(con.out.text, testing::at_line(1) + "deletes are full: 8\ndeletepath 0 D 1\n");
}

TEST(PathEditAdd, DuplicatesCompareTypeIndexesCallAndSsidOnly) {
    testing::console_fixture con;
    ASSERT_EQ(add(con, "deletepath 2 RELAY 2"), 0);
    EXPECT_EQ(add(con, "deletepath 2 relay 2"), -20);
    EXPECT_EQ(con.out.text, testing::at_line(1) + "Duplicate Path Delete at entry 1\n");
    con.out.text.clear();

    ASSERT_EQ(add(con, "substitutepath 2 RELAY 2 A"), 0) << "a substitution never repeats a delete";
    EXPECT_EQ(add(con, "substitutepath 2 RELAY 2 B,C"), -20) << "the digis are not compared";
    EXPECT_EQ(con.out.text, testing::at_line(1) + "Duplicate Path Substitution at entry 2\n");

    for (const char* differs : {"substitutepath 1 RELAY 2 A", "substitutepath 2 RELAY 3 A", "substitutepath 2 RELAY* 2 A",
                                "substitutepath 2 RELAY-1 2 A", "substitutepath 2 RELAX 2 A", "substitutepath * RELAY 2 A"})
        EXPECT_EQ(add(con, differs), 0) << differs;
    EXPECT_EQ(add(con, "substitutepath 0 RELAY 2 A"), -20) << "'*' and 0 are the same index";
    EXPECT_EQ(con.st().config.conf.get(conf_field::subst_count), 7u);
}

TEST(PathEditAdd, AFailedLineLeavesTheCountsAlone) {
    testing::console_fixture con;
    ASSERT_EQ(add(con, "substitutepath 1 X 1 A"), 0);
    EXPECT_EQ(add(con, "substitutepath 2 X 1 A,B,toolong"), -19);
    EXPECT_EQ(con.st().config.conf.get(conf_field::subst_count), 1u);
    ASSERT_EQ(add(con, "substitutepath 2 Y 1 C"), 0);
    EXPECT_EQ(entry_bytes(con.st().config, 1), entry("Y", 0, 2, 1, 1, 0x01)) << "the failed line's slot is filled afresh";
    EXPECT_EQ(list_bytes(con.st().config, 1), list({{"C", 0xE0}}));
}

}  // namespace
}  // namespace zuv
