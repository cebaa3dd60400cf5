#include <gtest/gtest.h>

#include <string>

#include "config/conf_record.h"
#include "link/connection.h"
#include "test_state.h"

namespace zuv {
namespace {

TEST(DeviceVersion, ReadsMajorAndMinorAfterTheProductName) {
    struct version_case {
        const char* reply;
        bool found;
        int major;
        int minor;
        bool sufficient;
    } cases[] = {
        {"Zuvedidude\r\nVersion 2.8\r\n", true, 2, 8, true},
        {"Zuvedidude Version 2.7", true, 2, 7, false},
        {"Zuvedidude Version 3.0", true, 3, 0, true},
        {"Zuvedidude Version 10.1", true, 10, 1, true},
        {"Zuvedidude Version 1.9", true, 1, 9, false},
        {"Zuvedidude Version 2.10", true, 2, 10, true},
        {"Zuvedidude Version  2.8", true, 2, 8, true},
        {"Zuvedidude Version 3", true, 3, 0, true},   // no '.': minor 0
        {"Zuvedidude Version 2", true, 2, 0, false},
        {"Zuvedidude Version 2\r\nZizezu> 9.9", true, 2, 9, true},  // the first '.' after "Version "
        {"Version 2.8 Zuvedidude", false, 0, 0, false},
        {"Zuvedidude Version", false, 0, 0, false},  // the blank belongs to the marker
        {"Zuvedidude Version ", true, 0, 0, false},
    };
    for (const version_case& c : cases) {
        const std::string_view reply = c.reply;
        const auto v = find_device_version(reply, reply.find("Zuvedidude"));
        ASSERT_EQ(v.has_value(), c.found) << c.reply;
        if (!v) continue;
        EXPECT_EQ(v->major, c.major) << c.reply;
        EXPECT_EQ(v->minor, c.minor) << c.reply;
        EXPECT_EQ(version_sufficient(*v), c.sufficient) << c.reply;
    }
}

TEST(DeviceVersion, NulBytesOfAReplyBecomeHashes) {
    std::uint8_t reply[] = {'Z', 0, 'u', 0, 0};
    mask_reply_nuls(reply, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 5), std::string("Z#u#\0", 5));
}

TEST(ConnectCommand, ConfiguredRateOutsideTheLinkRatesIsRefused) {
    testing::console_fixture con;
    con.st().config.conf.set(conf_field::host_baud, std::uint32_t{2400});
    con.st().config.conf.set(conf_field::have_gps, std::uint16_t{0});
    arg_cursor args("1");
    connect_command(con.st().link, con.st().config.conf, args);
    EXPECT_EQ(con.out.text, "\a\aError: invalid baud rate: 2400\n");
    EXPECT_EQ(con.st().link.connected, 0);
    EXPECT_FALSE(con.st().link.port.is_open());
}

}  // namespace
}  // namespace zuv
