#include "rules/rule_record.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "rules_fixture.h"

namespace zuv {
namespace {

using testing::console_fixture;
using testing::read_rules_text;
using testing::record_bytes;
using testing::record_image;

using bytes = std::vector<std::uint8_t>;

TEST(RuleRecord, FieldsAreLittleEndianAndFloatsNeedNoAlignment) {
    rule_record r;
    r.set(rule_field::float_2, 1.0f);  // 0x3F800000 at offset 6
    r.set(rule_field::float_4, -2.0f);  // 0xC0000000 at offset 18
    r.set(rule_field::line, std::int16_t{-2});
    EXPECT_EQ(bytes(r.bytes.begin() + 6, r.bytes.begin() + 12), (bytes{0x00, 0x00, 0x80, 0x3F, 0x00, 0x00}));
    EXPECT_EQ(bytes(r.bytes.begin() + 18, r.bytes.begin() + 24), (bytes{0x00, 0x00, 0x00, 0xC0, 0x00, 0x00}));
    EXPECT_EQ(r.bytes[26], 0xFE);
    EXPECT_EQ(r.bytes[27], 0xFF);
    EXPECT_EQ(r.get(rule_field::float_2), 1.0f);
    EXPECT_EQ(r.get(rule_field::float_4), -2.0f);
    EXPECT_EQ(r.get(rule_field::line), -2);
}

TEST(RuleRecord, DestinRuleOnLineThreeHasTheDeviceImage) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "# filters\n\ndrop destin APRS\n"), 0);
    const bytes want{0x41, 0x50, 0x52, 0x53, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0x35, 0x04, 0x03, 0x00};
    EXPECT_EQ(record_bytes(con.st().rules.rule_table[0]), want);
}

TEST(RuleRecord, CircleRuleOnLineSevenHasTheDeviceImage) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "\n\n\n\n\n\npass circle 10 39.5d, -105.25d\n"), 0);
    const bytes want{0x00, 0x00, 0x20, 0x41, 0x00, 0x00, 0x00, 0x00, 0x1e, 0x42, 0x00, 0x00, 0x00, 0x80,
                     0xd2, 0xc2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x37, 0x08, 0x07, 0x00};
    EXPECT_EQ(record_bytes(con.st().rules.rule_table[0]), want);
}

struct image_case {
    const char* line;  // read as line 1 of a file
    bytes want;
};

void PrintTo(const image_case& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class RuleImage : public ::testing::TestWithParam<image_case> {};

TEST_P(RuleImage, StoresEveryFieldAndZeroesTheRest) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, GetParam().line), 0) << con.out.text;
    EXPECT_EQ(record_bytes(con.st().rules.rule_table[0]), GetParam().want) << GetParam().line;
}

record_image rec(std::uint8_t command, std::uint8_t flags) { return record_image(command, flags, 1); }

INSTANTIATE_TEST_SUITE_P(
    CallsignForms, RuleImage,
    ::testing::Values(
        image_case{"drop destin *", rec(53, 0x34).bytes()},
        image_case{"pass destin *", rec(53, 0x38).bytes()},
        image_case{"drop destin *ABC", rec(53, 0x34).bytes()},  // the rest of "*..." is ignored
        image_case{"drop destin WIDE*", rec(53, 0x14).text(0, "WIDE").bytes()},
        image_case{"pass destin WIDE*", rec(53, 0x18).text(0, "WIDE").bytes()},
        image_case{"drop destin AB*C", rec(53, 0x14).text(0, "AB").bytes()},
        image_case{"drop destin AB-5*", rec(53, 0x14).text(0, "AB-5").bytes()},  // a prefix, no SSID
        image_case{"drop destin APRS-15", rec(53, 0x44).text(0, "APRS").byte(6, 15).bytes()},
        image_case{"pass destin APRS-15", rec(53, 0x48).text(0, "APRS").byte(6, 15).bytes()},
        image_case{"drop destin APRS-1x", rec(53, 0x44).text(0, "APRS").byte(6, 1).bytes()},
        image_case{"drop destin APRS-0", rec(53, 0x44).text(0, "APRS").bytes()},
        image_case{"drop destin -5", rec(53, 0x44).byte(6, 5).bytes()},
        image_case{"drop destin ABCDEF", rec(53, 0x04).text(0, "ABCDEF").bytes()},
        image_case{"drop destin ABCDEF-3", rec(53, 0x44).text(0, "ABCDEF").byte(6, 3).bytes()},
        image_case{"drop destin aprs", rec(53, 0x04).text(0, "aprs").bytes()},
        image_case{"pass source n0Call-7", rec(54, 0x48).text(0, "n0Call").byte(6, 7).bytes()},
        image_case{"drop digi 1 relay", rec(59, 0x04).text(0, "RELAY").byte(12, 1).bytes()},
        image_case{"drop digi 1 wide1-1", rec(59, 0x44).text(0, "WIDE1").byte(6, 1).byte(12, 1).bytes()},
        image_case{"drop digi 1 w*", rec(59, 0x14).text(0, "W").byte(12, 1).bytes()},
        // The action word implicit is stored as it stands, so it reads as mod_prefix.
        image_case{"implicit destin APRS", rec(53, 0x10).text(0, "APRS").bytes()},
        image_case{"implicit destin *", rec(53, 0x30).bytes()},
        image_case{"implicit destin AB-2", rec(53, 0x50).text(0, "AB").byte(6, 2).bytes()}));

INSTANTIATE_TEST_SUITE_P(
    NumbersAndIndexes, RuleImage,
    ::testing::Values(
        image_case{"drop digi * RELAY", rec(59, 0x04).text(0, "RELAY").bytes()},
        image_case{"drop digi 0 RELAY", rec(59, 0x04).text(0, "RELAY").bytes()},
        image_case{"drop digi 8 RELAY", rec(59, 0x04).text(0, "RELAY").byte(12, 8).bytes()},
        image_case{"drop digi 3 RELAY-3", rec(59, 0x44).text(0, "RELAY").byte(6, 3).byte(12, 3).bytes()},
        image_case{"drop compass NW 39d, -105d", rec(56, 0x04).byte(0, 8).single(6, 39.0f).single(12, -105.0f).bytes()},
        image_case{"drop compass ne 39d, -105d", rec(56, 0x04).byte(0, 2).single(6, 39.0f).single(12, -105.0f).bytes()},
        image_case{"pass rectangle 39d, -105d, 40.5d, -104.25d",
                   rec(57, 0x08).single(0, 39.0f).single(6, -105.0f).single(12, 40.5f).single(18, -104.25f).bytes()},
        image_case{"drop sector 10d, 20d, 5", rec(58, 0x04).single(0, 10.0f).single(6, 20.0f).single(12, 5.0f).bytes()},
        image_case{"drop sector 0d, 360d, 0 10",
                   rec(58, 0x04).single(0, 0.0f).single(6, 360.0f).single(12, 0.0f).single(18, 10.0f).bytes()},
        image_case{"drop sector 10d, 20d, 1.5 # no outer range",
                   rec(58, 0x04).single(0, 10.0f).single(6, 20.0f).single(12, 1.5f).bytes()},
        image_case{"drop circle 0.1 -90d, 180d",
                   rec(55, 0x04).single(0, 0.1f).single(6, -90.0f).single(12, 180.0f).bytes()}));

TEST(RuleTableImage, IsTheRecordsBackToBack) {
    console_fixture con;
    ASSERT_EQ(read_rules_text(con, "drop destin APRS\nimplicit drop\npass circle 10 39.5d, -105.25d\n"), 0);
    const auto image = rule_table_image(con.st().rules.rule_table, 2);
    ASSERT_EQ(image.size(), 56u);
    bytes want = record_bytes(con.st().rules.rule_table[0]);
    const bytes second = record_bytes(con.st().rules.rule_table[1]);
    want.insert(want.end(), second.begin(), second.end());
    EXPECT_EQ(bytes(image.begin(), image.end()), want);
    EXPECT_EQ(con.st().rules.rule_table[1].bytes[26], 3);  // the line of the circle rule
    EXPECT_EQ(rule_table_image(con.st().rules.rule_table, 31).size(), 840u);
    EXPECT_EQ(rule_table_image(con.st().rules.rule_table, 0).size(), 0u);
}

TEST(RuleRecord, CallsignStopsAtZeroOrAfterSixBytes) {
    rule_record r;
    EXPECT_EQ(r.callsign(), "");
    for (std::size_t i = 0; i < 7; ++i) r.bytes[i] = static_cast<std::uint8_t>('A' + i);
    EXPECT_EQ(r.callsign(), "ABCDEF");
    r.bytes[3] = 0;
    EXPECT_EQ(r.callsign(), "ABC");
}

}  // namespace
}  // namespace zuv
