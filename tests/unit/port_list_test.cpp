// --list-ports on Linux, over folders that stand in for the port map,
// /dev/serial/by-id, /dev and /sys/class/tty.
#include "serial/port_list.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "temp_dir_test.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;

class PortList : public testing::temp_dir_test {
protected:
    void SetUp() override {
        temp_dir_test::SetUp();
        root_ = fs::canonical(dir_).string();
        places_.map_dir = root_ + "/config/zuvdigi";
        places_.by_id_dir = root_ + "/by-id";
        places_.dev_dir = root_ + "/dev";
        places_.sys_tty_dir = root_ + "/sys";
        fs::create_directories(places_.by_id_dir);
        fs::create_directories(places_.dev_dir);
        fs::create_directories(places_.sys_tty_dir);
        // A real character device, as a USB adapter's node would be.
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        pty_ = ptsname(master_);
    }
    void TearDown() override {
        if (master_ >= 0) close(master_);
        temp_dir_test::TearDown();
    }

    void map(int n, const std::string& target) {
        fs::create_directories(places_.map_dir);
        fs::create_symlink(target, places_.map_dir + "/com" + std::to_string(n));
    }
    // A ttySk node, with the UART type the kernel would give it (none: no sysfs entry).
    void builtin(int k, std::optional<int> type) {
        const std::string name = "ttyS" + std::to_string(k);
        write("dev/" + name, "");
        if (!type) return;
        fs::create_directories(places_.sys_tty_dir + "/" + name);
        std::ofstream(places_.sys_tty_dir + "/" + name + "/type") << *type << "\n";
    }
    std::string listed() {
        string_output out;
        list_ports(out, places_);
        return out.text;
    }

    std::string root_;
    port_places places_;
    int master_ = -1;
    std::string pty_;
};

TEST_F(PortList, MapEntriesShowTheirTargetsAndEachUnreachedDeviceHowToMapIt) {
    fs::create_symlink(pty_, places_.by_id_dir + "/usb-FTDI_A-if00-port0");
    write("dev/ttyUSB1", "");
    fs::create_symlink("../dev/ttyUSB1", places_.by_id_dir + "/usb-Prolific_B-port0");
    map(2, places_.by_id_dir + "/usb-FTDI_A-if00-port0");
    map(3, root_ + "/nothing");
    write("notes.txt", "");
    map(4, root_ + "/notes.txt");
    builtin(0, 4);   // a 16550A
    builtin(1, 0);   // a node without a UART behind it
    builtin(10, std::nullopt);
    EXPECT_EQ(listed(), "Port map " + places_.map_dir + ":\n"
                        "  COM2 -> " + places_.by_id_dir + "/usb-FTDI_A-if00-port0 (" + pty_ + "): present\n"
                        "  COM3 -> " + root_ + "/nothing: missing\n"
                        "  COM4 -> " + root_ + "/notes.txt: not a serial device\n"
                        "Serial devices:\n"
                        "  " + places_.by_id_dir + "/usb-FTDI_A-if00-port0 -> " + pty_ + ": COM2\n"
                        "  " + places_.by_id_dir + "/usb-Prolific_B-port0 -> " + root_ + "/dev/ttyUSB1"
                        ": no COM number reaches it; to use it as COM5:\n"
                        "    ln -s " + places_.by_id_dir + "/usb-Prolific_B-port0 " + places_.map_dir + "/com5\n"
                        "  " + root_ + "/dev/ttyS0: COM1 (built in)\n");
}

TEST_F(PortList, ABuiltInPortWhoseNumberIsMappedElsewhereGetsTheNextFreeOne) {
    builtin(0, 4);
    builtin(1, 4);
    map(1, pty_);
    EXPECT_EQ(listed(), "Port map " + places_.map_dir + ":\n"
                        "  COM1 -> " + pty_ + ": present\n"
                        "Serial devices:\n"
                        "  " + root_ + "/dev/ttyS0: no COM number reaches it; to use it as COM3:\n"
                        "    ln -s " + root_ + "/dev/ttyS0 " + places_.map_dir + "/com3\n"
                        "  " + root_ + "/dev/ttyS1: COM2 (built in)\n");
}

TEST_F(PortList, WithoutAPortMapFolderTheCommandsMakeItUnderHome) {
    places_.home = root_;
    places_.map_dir = root_ + "/.config/zuvdigi";
    fs::create_symlink(pty_, places_.by_id_dir + "/usb-My Adapter");
    fs::create_symlink(pty_, places_.by_id_dir + "/usb-Other");
    EXPECT_EQ(listed(), "Port map ~/.config/zuvdigi: no such folder\n"
                        "Serial devices:\n"
                        "  " + places_.by_id_dir + "/usb-My Adapter -> " + pty_ +
                        ": no COM number reaches it; to use it as COM1:\n"
                        "    mkdir -p ~/.config/zuvdigi\n"
                        "    ln -s '" + places_.by_id_dir + "/usb-My Adapter' ~/.config/zuvdigi/com1\n"
                        "  " + places_.by_id_dir + "/usb-Other -> " + pty_ +
                        ": no COM number reaches it; to use it as COM2:\n"
                        "    ln -s " + places_.by_id_dir + "/usb-Other ~/.config/zuvdigi/com2\n");
}

TEST_F(PortList, EmptyPlacesSayWhatIsMissing) {
    fs::create_directories(places_.map_dir);
    EXPECT_EQ(listed(), "Port map " + places_.map_dir + ": no entries\nSerial devices: none found\n");
    places_.map_dir.clear();
    write("dev/ttyUSB0", "");
    fs::create_symlink("../dev/ttyUSB0", places_.by_id_dir + "/usb-X");
    EXPECT_EQ(listed(), "Port map: none (neither XDG_CONFIG_HOME nor HOME is set)\n"
                        "Serial devices:\n"
                        "  " + places_.by_id_dir + "/usb-X -> " + root_ + "/dev/ttyUSB0"
                        ": no COM number reaches it, and there is no port map to add one to\n");
}

TEST_F(PortList, WhenAllTwentyNumbersAreTakenNoneIsOffered) {
    for (int n = 1; n <= max_com_number; ++n) map(n, pty_);
    write("dev/ttyUSB0", "");
    fs::create_symlink("../dev/ttyUSB0", places_.by_id_dir + "/usb-X");
    const std::string text = listed();
    EXPECT_NE(text.find("usb-X -> " + root_ + "/dev/ttyUSB0: no COM number reaches it, and all 20 are taken\n"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace zuv
