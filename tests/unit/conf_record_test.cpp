#include "config/conf_record.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "test_state.h"

namespace zuv {
namespace {

void put_le(std::vector<std::uint8_t>& img, std::size_t off, std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) img[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The factory image written out field by field from the device's layout,
// independently of the accessors.
std::vector<std::uint8_t> expected_factory_image() {
    std::vector<std::uint8_t> img(904, 0);
    put_le(img, 0, 19200, 4);
    put_le(img, 4, 9600, 4);
    put_le(img, 8, 19200, 4);
    put_le(img, 16, std::bit_cast<std::uint32_t>(default_latitude), 4);
    put_le(img, 20, std::bit_cast<std::uint32_t>(default_longitude), 4);
    const char call[8] = {'N', 'O', 'T', 'S', 'E', 'T', 0, 0};
    for (int i = 0; i < 8; ++i) img[24 + i] = static_cast<std::uint8_t>(call[i]);
    put_le(img, 34, 3, 2);
    put_le(img, 36, 6, 2);
    put_le(img, 46, 28, 2);
    put_le(img, 48, 600, 2);
    put_le(img, 50, 0x2F23, 2);
    put_le(img, 52, 1, 2);
    put_le(img, 56, 1, 2);
    put_le(img, 58, 1, 2);
    put_le(img, 64, 112, 2);
    return img;
}

TEST(ConfRecord, FactoryImageMatchesTheDeviceLayoutByteForByte) {
    const std::vector<std::uint8_t> want = expected_factory_image();
    const conf_record& got = conf_defaults();
    for (std::size_t i = 0; i < conf_record_size; ++i)
        EXPECT_EQ(got.bytes[i], want[i]) << "offset " << i;
    EXPECT_EQ(got.bytes[50], '#');
    EXPECT_EQ(got.bytes[51], '/');
}

TEST(ConfRecord, DefaultBasePositionIsFixedAndNonZero) {
    EXPECT_NE(conf_defaults().get(conf_field::latitude), 0.0f);
    EXPECT_NE(conf_defaults().get(conf_field::longitude), 0.0f);
    EXPECT_EQ(conf_defaults().get(conf_field::latitude), default_latitude);
}

TEST(ConfRecord, FieldsAreStoredLittleEndian) {
    conf_record r{};
    r.set(conf_field::host_baud, std::uint32_t{0x11223344});
    r.set(conf_field::altitude, std::int32_t{-2});
    r.set(conf_field::icon, std::uint16_t{0xA1B2});
    r.set(conf_field::latitude, 1.0f);  // 0x3F800000
    EXPECT_EQ((std::vector<std::uint8_t>(r.bytes.begin(), r.bytes.begin() + 4)),
              (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ((std::vector<std::uint8_t>(r.bytes.begin() + 12, r.bytes.begin() + 16)),
              (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(r.bytes[50], 0xB2);
    EXPECT_EQ(r.bytes[51], 0xA1);
    EXPECT_EQ((std::vector<std::uint8_t>(r.bytes.begin() + 16, r.bytes.begin() + 20)),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(r.get(conf_field::altitude), -2);
    EXPECT_EQ(r.get(conf_field::latitude), 1.0f);
}

TEST(ConfRecord, TextStopsAtZeroOrAtTheEndOfAFullSlot) {
    conf_record r = conf_defaults();
    EXPECT_EQ(r.text(conf_field::station_call), "NOTSET");
    auto slot = r.slot(conf_field::digi_path, 0);
    for (std::size_t i = 0; i < slot.size(); ++i) slot[i] = static_cast<std::uint8_t>('A' + i);
    EXPECT_EQ(r.text(conf_field::digi_path, 0), "ABCDEFGH");
    EXPECT_EQ(r.text(conf_field::digi_path, 1), "");
}

TEST(ConfRecord, LoadDefaultsResetsTheWorkingCopyButNotTheProcessedFlag) {
    testing::console_fixture con;
    app_state& st = con.st();
    st.config.conf.set(conf_field::rule_count, std::uint16_t{7});
    st.config.conf.bytes[900] = 0x55;
    st.config.digi_path_count = 3;
    st.config.conf_processed = 1;
    conf_load_defaults(st.config);
    EXPECT_EQ(st.config.conf.bytes, conf_defaults().bytes);
    EXPECT_EQ(st.config.digi_path_count, 0);
    EXPECT_EQ(st.config.conf_processed, 1);
}

TEST(ConfRecord, LinkRateIsTheGpsRateOnlyWithAGps) {
    conf_record r = conf_defaults();
    EXPECT_EQ(configured_link_rate(r), 19200);
    r.set(conf_field::have_gps, std::uint16_t{1});
    EXPECT_EQ(configured_link_rate(r), 9600);
    r.set(conf_field::have_gps, std::uint16_t{0});
    r.set(conf_field::host_baud, std::uint32_t{2400});
    EXPECT_EQ(configured_link_rate(r), 2400);
}

}  // namespace
}  // namespace zuv
