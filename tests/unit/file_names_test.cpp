// The readers open regular files only: a directory, a device, a FIFO or a
// socket is refused at once with the reader's "cannot open" message and
// changes nothing; a symbolic link to a regular file is read as that file.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/conf_reader.h"
#include "firmware/upload.h"
#include "rules/rules_reader.h"
#include "temp_dir_test.h"
#include "test_state.h"

namespace zuv {
namespace {

class SpecialNames : public testing::temp_dir_test {
protected:
    void SetUp() override {
        temp_dir_test::SetUp();
        ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
        socket_fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = (dir_ / "socket").string();
        ASSERT_LT(path.size(), sizeof addr.sun_path);
        path.copy(addr.sun_path, path.size());
        ASSERT_EQ(bind(socket_fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    }
    void TearDown() override {
        close(socket_fd_);
        temp_dir_test::TearDown();
    }

    // Every name that is no regular file, directly and through a link.
    std::vector<std::string> refused_names() {
        std::filesystem::create_symlink("/dev/zero", dir_ / "link-to-zero");
        std::filesystem::create_symlink(dir_ / "fifo", dir_ / "link-to-fifo");
        return {dir_.string(), "/dev/zero", "/dev/null", (dir_ / "fifo").string(), (dir_ / "socket").string(),
                (dir_ / "link-to-zero").string(), (dir_ / "link-to-fifo").string()};
    }

    int socket_fd_ = -1;
};

TEST_F(SpecialNames, ConfigureRefusesThemAndKeepsTheRecord) {
    testing::console_fixture con;
    ASSERT_EQ(conf_process(con.st().config, write("good.cfg", "call N0CALL\n").c_str()), 0);
    const conf_record before = con.st().config.conf;
    for (const std::string& name : refused_names()) {
        con.out.text.clear();
        EXPECT_EQ(conf_process(con.st().config, name.c_str()), -2) << name;
        EXPECT_EQ(con.out.text, "\a\aError: cannot open " + name + "\n");
        EXPECT_EQ(con.st().config.conf.bytes, before.bytes) << name;
        EXPECT_EQ(con.st().config.conf_processed, 1) << name;
    }
}

TEST_F(SpecialNames, RulesRefusesThemAndKeepsTheTable) {
    testing::console_fixture con;
    ASSERT_EQ(rules_process(con.st().rules, write("good.rules", "drop destin APRS\n").c_str()), 0);
    const auto table_bytes = [&con] {
        const auto image = rule_table_image(con.st().rules.rule_table, max_rules);
        return std::string(image.begin(), image.end());
    };
    const std::string before = table_bytes();
    for (const std::string& name : refused_names()) {
        con.out.text.clear();
        EXPECT_EQ(rules_process(con.st().rules, name.c_str()), rules_cannot_open) << name;
        EXPECT_EQ(con.out.text, "\a\aError: cannot open " + name + "\n");
        EXPECT_EQ(table_bytes(), before) << name;
        EXPECT_EQ(con.st().config.conf.get(conf_field::rule_count), 1u) << name;
    }
}

TEST_F(SpecialNames, FirmwareRefusesThemBeforeAnyPortIsTouched) {
    testing::console_fixture con;
    for (const std::string& name : refused_names()) {
        con.out.text.clear();
        EXPECT_EQ(firmware(con.st().link, con.st().firmware, 1, name.c_str()), fw_cannot_open) << name;
        EXPECT_EQ(con.out.text, "\a\aError: cannot open " + name + "\n");
        EXPECT_FALSE(con.st().link.port.is_open()) << name;
        EXPECT_STREQ(con.st().link.port_name, "") << "the port is not even named";
    }
}

TEST_F(SpecialNames, ALinkToARegularFileIsReadAsThatFile) {
    testing::console_fixture con;
    std::filesystem::create_symlink(write("station.cfg", "call N0CALL\nssid 7\n"), dir_ / "link.cfg");
    std::filesystem::create_symlink(write("good.rules", "drop destin APRS\n"), dir_ / "link.rules");
    EXPECT_EQ(conf_process(con.st().config, (dir_ / "link.cfg").c_str()), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(conf_field::ssid), 7u);
    EXPECT_EQ(rules_process(con.st().rules, (dir_ / "link.rules").c_str()), 0) << con.out.text;
    EXPECT_EQ(con.st().config.conf.get(conf_field::rule_count), 1u);
}

}  // namespace
}  // namespace zuv
