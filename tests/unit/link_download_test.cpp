// The download protocol: the CRC, the packet frame, and the packet, transfer
// and sequence layers against a scripted device on the master side of a
// pseudo-terminal, published as COM1 in a private port map.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "config/conf_reader.h"
#include "config/conf_record.h"
#include "link/download.h"
#include "rules/rules_reader.h"
#include "serial/port.h"
#include "test_state.h"

namespace zuv {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<std::uint8_t>;

bytes text_bytes(std::string_view s) { return {s.begin(), s.end()}; }

// CRC-16/AUG-CCITT as the catalogue defines it, one bit at a time: register
// 0x1D0F, polynomial 0x1021, no reflection, no final XOR.
std::uint16_t catalogue_crc(const bytes& data) {
    unsigned reg = 0x1D0F;
    for (std::uint8_t b : data) {
        reg ^= static_cast<unsigned>(b) << 8;
        for (int i = 0; i < 8; ++i) reg = (reg & 0x8000) != 0 ? (reg << 1) ^ 0x1021 : reg << 1;
        reg &= 0xFFFF;
    }
    return static_cast<std::uint16_t>(reg);
}

std::uint16_t packet_crc(bytes data) {
    data.push_back(0);
    data.push_back(0);
    return dwn_crc(0xFFFF, data.data(), data.size(), crc_table);
}

TEST(DownloadCrc, TableIsThePolynomialShiftedEightTimes) {
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int step = 0; step < 8; ++step) reg = ((reg << 1) ^ ((reg & 0x8000) != 0 ? 0x1021 : 0)) & 0xFFFF;
        EXPECT_EQ(crc_table[i], reg) << "entry " << i;
    }
}

TEST(DownloadCrc, AugmentedFormFromFFFFEqualsTheCatalogueCrc) {
    EXPECT_EQ(packet_crc(text_bytes("123456789")), 0xE5CC);
    bytes ramp;
    for (int i = 0; i < 300; ++i) ramp.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    const bytes cases[] = {{0x00}, {0xFF}, {0x80, 0x00}, {0x00, 0x15, 'c', 'o', 'n', 'f'}, ramp};
    for (const bytes& data : cases) EXPECT_EQ(packet_crc(data), catalogue_crc(data)) << data.size() << " bytes";
}

TEST(DownloadCrc, StartValueAndTableAreTheCallersAndAnEmptyRunKeepsTheRegister) {
    const std::uint8_t b = 0x31;
    EXPECT_EQ(dwn_crc(0x1234, &b, 0, crc_table), 0x1234);
    // One step: table[0x12] ^ (0x3400 | 0x31).
    EXPECT_EQ(dwn_crc(0x1234, &b, 1, crc_table), crc_table[0x12] ^ 0x3431);
    std::array<std::uint16_t, 256> zero_table{};
    EXPECT_EQ(dwn_crc(0x1234, &b, 1, zero_table), 0x3431);
}

// The three command packets on the wire, byte for byte.
TEST(DownloadFrame, CommandPacketsAsTheDeviceReceivesThem) {
    struct frame_case {
        const char* name;
        int size;
        bytes wire;
    } cases[] = {
        {conf_transfer, 904, {0x00, 0x15, 'c', 'o', 'n', 'f', 0, 0, 0, 0, 0, 0, 0, 0, '9', '0', '4', 0, 0, 0x69, 0x8C}},
        {finish_transfer, -1,
         {0x00, 0x15, '-', 'c', 'e', 's', 't', 'f', 'i', 'n', 'i', '-', 0, 0, 0, 0, 0, 0, 0, 0x5D, 0xCF}},
        {rules_transfer, 0, {0x00, 0x15, 'r', 'u', 'l', 'e', 's', 0, 0, 0, 0, 0, 0, 0, '0', 0, 0, 0, 0, 0xE6, 0xAA}},
        {rules_transfer, 840,
         {0x00, 0x15, 'r', 'u', 'l', 'e', 's', 0, 0, 0, 0, 0, 0, 0, '8', '4', '0', 0, 0}},
    };
    for (const frame_case& c : cases) {
        command_packet pkt = make_command_packet(c.name, c.size);
        dwn_frame_pkt(pkt.data(), cmd_pkt_len);
        const bytes got(pkt.begin(), pkt.end());
        if (c.wire.size() == got.size()) {
            EXPECT_EQ(got, c.wire) << c.name;
        } else {  // CRC not given: the frame must check out
            EXPECT_EQ(bytes(got.begin(), got.end() - 2), c.wire) << c.name;
        }
        EXPECT_EQ(dwn_crc(0xFFFF, pkt.data(), pkt.size(), crc_table), 0) << c.name;
    }
}

TEST(DownloadFrame, LengthIsBigEndianAndTheFrameChecksOutWhateverTheOldFields) {
    bytes pkt(64, 0xAA);  // stale length and CRC must not leak into the frame
    dwn_frame_pkt(pkt.data(), 64);
    EXPECT_EQ(pkt[0], 0x00);
    EXPECT_EQ(pkt[1], 0x40);
    EXPECT_EQ(dwn_crc(0xFFFF, pkt.data(), pkt.size(), crc_table), 0);
    const bytes payload(pkt.begin() + 2, pkt.end() - 2);
    EXPECT_EQ(payload, bytes(60, 0xAA));
    bytes shortest = {0, 0, 'x', 0, 0};
    dwn_frame_pkt(shortest.data(), 5);
    EXPECT_EQ(shortest[1], 5);
    EXPECT_EQ(dwn_crc(0xFFFF, shortest.data(), 5, crc_table), 0);
}

TEST(DownloadArguments, RefusedBeforeAnythingIsSent) {
    testing::console_fixture con;
    link_state& st = con.st().link;  // no port open: a send would fail loudly
    std::uint8_t buf[8]{};
    EXPECT_EQ(dwn_write_pkt(st, nullptr, 21), pkt_null);
    EXPECT_EQ(dwn_write_pkt(st, buf, 4), pkt_too_short);
    EXPECT_EQ(dwn_write_pkt(st, buf, -1), pkt_too_short);
    EXPECT_EQ(dwn_write_file(st, nullptr, 10), file_null);
    EXPECT_EQ(dwn_write_file(st, buf, 0), file_empty);
    EXPECT_EQ(dwn_write_file(st, buf, -3), file_empty);
    EXPECT_EQ(con.out.text,
              "dwn_write_pkt: argument ptr pp is null\n"
              "dwn_write_pkt: argument len < 5\n"
              "dwn_write_pkt: argument len < 5\n"
              "dwn_write_file: argument ptr bp is null\n"
              "dwn_write_file: argument len < 1\n"
              "dwn_write_file: argument len < 1\n");
}

// The device end of the line: it reads the "download" line when told to,
// then takes packets by their length field and answers each arrival from a
// script (ACK past its end).
class scripted_device : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        char tmpl[] = "/tmp/zuv_download_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        fs::create_directories(dir_ / "zuvdigi");
        fs::create_symlink(ptsname(master_), dir_ / "zuvdigi" / "com1");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_xdg_ = old != nullptr;
        if (had_xdg_) old_xdg_ = old;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        stop_device();
        if (master_ >= 0) close(master_);
        if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir_);
    }

    // Opens COM1 for st as the connect command leaves it, until stop_device.
    void connect(link_state& st) {
        host_ = &st;
        ASSERT_EQ(open_port(st, "COM1", 19200), 0);
        std::snprintf(st.port_name, sizeof st.port_name, "COM1");
        st.connected = 1;
    }

    void start_device(std::vector<int> replies, bool reads_line = false) {
        replies_ = std::move(replies);
        reads_line_ = reads_line;
        stop_ = false;
        peer_ = std::thread([this] { serve(); });
    }

    // Ends the device and closes the host's port; what the device received
    // may be read after this.
    void stop_device() {
        if (peer_.joinable()) {
            stop_ = true;
            peer_.join();
        }
        if (host_ != nullptr) close_port(*host_);
        host_ = nullptr;
    }

    std::vector<int> packet_sizes() const {
        std::vector<int> sizes;
        for (const bytes& p : arrivals_) sizes.push_back(static_cast<int>(p.size()));
        return sizes;
    }

    // The payloads of arrivals [from, to), end to end.
    bytes payloads(std::size_t from, std::size_t to) const {
        bytes all;
        for (std::size_t i = from; i < to && i < arrivals_.size(); ++i)
            all.insert(all.end(), arrivals_[i].begin() + 2, arrivals_[i].end() - 2);
        return all;
    }

    void expect_every_frame_checks_out() const {
        for (std::size_t i = 0; i < arrivals_.size(); ++i) {
            const bytes& p = arrivals_[i];
            ASSERT_GE(p.size(), 5u) << "arrival " << i;
            EXPECT_EQ(load_be_unsigned<std::uint16_t>(p.data()), p.size()) << "arrival " << i;
            EXPECT_EQ(dwn_crc(0xFFFF, p.data(), p.size(), crc_table), 0) << "arrival " << i;
        }
    }

    std::string line_;           // the console line before the packets
    std::vector<bytes> arrivals_;  // every packet as it arrived, resends included
    std::string leftover_;       // bytes that made no whole packet
    int master_ = -1;

private:
    void serve() {
        std::string pending;
        // Stops only once the line is idle, so nothing the host wrote is missed.
        for (;;) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, 10) <= 0 || (pfd.revents & POLLIN) == 0) {
                if (stop_) break;
                continue;
            }
            char buf[512];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            pending.append(buf, static_cast<std::size_t>(n));
            take(pending);
        }
        leftover_ = pending;
    }

    void take(std::string& pending) {
        if (reads_line_) {
            const auto lf = pending.find('\n');
            if (lf == std::string::npos) return;
            line_ = pending.substr(0, lf + 1);
            pending.erase(0, lf + 1);
            reads_line_ = false;
        }
        while (pending.size() >= 2) {
            const auto len = load_be_unsigned<std::uint16_t>(reinterpret_cast<const std::uint8_t*>(pending.data()));
            if (len < 2 || pending.size() < len) return;
            arrivals_.emplace_back(pending.begin(), pending.begin() + len);
            pending.erase(0, len);
            answer(arrivals_.size() - 1);
        }
    }

    void answer(std::size_t arrival) {
        const auto reply = static_cast<char>(arrival < replies_.size() ? replies_[arrival] : dwn_ack);
        (void)!write(master_, &reply, 1);
    }

    std::vector<int> replies_;
    bool reads_line_ = false;
    link_state* host_ = nullptr;
    std::thread peer_;
    std::atomic<bool> stop_{false};
    fs::path dir_;
    bool had_xdg_ = false;
    std::string old_xdg_;
};

std::vector<int> naks(int n, int then) {
    std::vector<int> script(static_cast<std::size_t>(n), dwn_nak);
    script.push_back(then);
    return script;
}

TEST_F(scripted_device, PacketRepliesDecideTheResultAndTheResends) {
    struct reply_case {
        const char* what;
        std::vector<int> script;
        int result;
        std::size_t arrivals;
        const char* message;
    } cases[] = {
        {"ACK", {dwn_ack}, cmd_pkt_len, 1, ""},
        {"NAK x4 then ACK", naks(4, dwn_ack), cmd_pkt_len, 5, ""},
        {"NAK x5", naks(5, dwn_ack), pkt_refused, 5, ""},
        {"NAK then garbage", naks(1, 'A'), pkt_bad_reply, 2, "\a\aError: reading ack or nak: got 0x41\n"},
        {"0xFF", {0xFF}, pkt_bad_reply, 1, "\a\aError: reading ack or nak: got 0xff\n"},
        {"XON", {0x11}, pkt_bad_reply, 1, "\a\aError: reading ack or nak: got 0x11\n"},
    };
    for (const reply_case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::console_fixture con;
        connect(con.st().link);
        arrivals_.clear();
        start_device(c.script);
        command_packet pkt = make_command_packet(conf_transfer, 904);
        EXPECT_EQ(dwn_write_pkt(con.st().link, pkt.data(), cmd_pkt_len), c.result);
        stop_device();
        EXPECT_EQ(con.out.text, c.message);
        ASSERT_EQ(arrivals_.size(), c.arrivals);
        for (const bytes& p : arrivals_) EXPECT_EQ(p, bytes(pkt.begin(), pkt.end()));  // resent unchanged
        expect_every_frame_checks_out();
    }
}

TEST_F(scripted_device, DeviceGoneBeforeThePacketIsAFailedWrite) {
    testing::console_fixture con;
    connect(con.st().link);
    close(master_);
    master_ = -1;
    command_packet pkt = make_command_packet(rules_transfer, 0);
    EXPECT_EQ(dwn_write_pkt(con.st().link, pkt.data(), cmd_pkt_len), pkt_write_failed);
    const std::uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(dwn_write_file(con.st().link, data, 3), file_pkt_failed);
    EXPECT_EQ(con.out.text,
              "\a\aError: wrote 0 of 21, got error on port COM1: Input/output error\n"
              "\a\aError: writing pkt\n"
              "\a\aError: wrote 0 of 7, got error on port COM1: Input/output error\n"
              "\a\aError: writing pkt\n"
              "\a\aError: writing data pkt: -3\n");
    stop_device();
}

TEST_F(scripted_device, TransferSplitsIntoPacketsOfSixtyAndTheRest) {
    struct split_case {
        int len;
        std::vector<int> sizes;
    } cases[] = {
        {904, {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 8}},
        {840, {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64}},
        {28, {32}},
        {84, {64, 28}},
        {60, {64}},
        {61, {64, 5}},
        {1, {5}},
    };
    for (const split_case& c : cases) {
        SCOPED_TRACE(c.len);
        testing::console_fixture con;
        connect(con.st().link);
        arrivals_.clear();
        start_device({});
        bytes data;
        for (int i = 0; i < c.len; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + 3));
        EXPECT_EQ(dwn_write_file(con.st().link, data.data(), c.len), c.len);
        stop_device();
        EXPECT_EQ(packet_sizes(), c.sizes);
        EXPECT_EQ(payloads(0, arrivals_.size()), data);
        expect_every_frame_checks_out();
        EXPECT_EQ(con.out.text, "");
    }
}

TEST_F(scripted_device, RefusedDataPacketStopsTheTransferThere) {
    testing::console_fixture con;
    connect(con.st().link);
    std::vector<int> script{dwn_ack};
    for (int i = 0; i < 5; ++i) script.push_back(dwn_nak);
    start_device(script);
    const bytes data(200, 0x5A);
    EXPECT_EQ(dwn_write_file(con.st().link, data.data(), 200), file_pkt_failed);
    stop_device();
    EXPECT_EQ(con.out.text, "\a\aError: writing data pkt: -6\n");
    EXPECT_EQ(packet_sizes(), (std::vector<int>{64, 64, 64, 64, 64, 64}));  // nothing after the second packet
}

// A configuration from the defaults, and n rules in the table.
void load_rules(app_state& st, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "drop destin C" + std::to_string(i) + "\n";
    std::FILE* fp = text.empty() ? std::fopen("/dev/null", "r") : fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(fp, nullptr);
    ASSERT_EQ(rules_read(st.rules, fp, "t.rules"), 0);
    std::fclose(fp);
    ASSERT_EQ(st.config.conf.get(conf_field::rule_count), n);
}

TEST_F(scripted_device, DownloadSendsConfigurationRulesAndFinishInOrder) {
    struct sequence_case {
        int rules;
        std::vector<int> rule_sizes;
    } cases[] = {{0, {}}, {1, {32}}, {3, {64, 28}}, {30, std::vector<int>(14, 64)}};
    for (const sequence_case& c : cases) {
        SCOPED_TRACE(c.rules);
        testing::console_fixture con;
        load_rules(con.st(), c.rules);
        con.out.text.clear();
        connect(con.st().link);
        arrivals_.clear();
        start_device({});
        EXPECT_EQ(dwn_download(con.st().link, con.st().config.conf, con.st().rules.rule_table), 0);
        stop_device();
        EXPECT_EQ(con.out.text, "Downloading Configuration succeeded\nDownloading Rules succeeded\n");
        std::vector<int> sizes{cmd_pkt_len};
        sizes.insert(sizes.end(), 15, 64);
        sizes.push_back(8);
        sizes.push_back(cmd_pkt_len);
        sizes.insert(sizes.end(), c.rule_sizes.begin(), c.rule_sizes.end());
        sizes.push_back(cmd_pkt_len);
        ASSERT_EQ(packet_sizes(), sizes);
        expect_every_frame_checks_out();

        command_packet conf_cmd = make_command_packet(conf_transfer, 904);
        command_packet rules_cmd = make_command_packet(rules_transfer, c.rules * 28);
        command_packet finish = make_command_packet(finish_transfer, -1);
        for (command_packet* p : {&conf_cmd, &rules_cmd, &finish}) dwn_frame_pkt(p->data(), cmd_pkt_len);
        EXPECT_EQ(arrivals_.front(), bytes(conf_cmd.begin(), conf_cmd.end()));
        EXPECT_EQ(arrivals_[17], bytes(rules_cmd.begin(), rules_cmd.end()));
        EXPECT_EQ(arrivals_.back(), bytes(finish.begin(), finish.end()));
        const auto& conf = con.st().config.conf.bytes;
        EXPECT_EQ(payloads(1, 17), bytes(conf.begin(), conf.end()));
        const auto rules = rule_table_image(con.st().rules.rule_table, static_cast<std::size_t>(c.rules));
        EXPECT_EQ(payloads(18, arrivals_.size() - 1), bytes(rules.begin(), rules.end()));
    }
}

TEST_F(scripted_device, EachFailedStepEndsTheDownloadWithItsCodeAndNestedMessages) {
    // One rule: arrival 0 the conf command, 1 to 16 its data, 17 the rules
    // command, 18 the rule, 19 the finish.
    struct step_case {
        const char* what;
        std::size_t failing_arrival;
        std::vector<int> replies;
        int result;
        const char* messages;
    } cases[] = {
        {"conf command", 0, {'?'}, dwn_conf_command_failed,
         "\a\aError: reading ack or nak: got 0x3f\n"
         "\a\aError: writing Configuration command failed: -5\n"},
        {"conf data refused", 3, naks(4, dwn_nak), dwn_conf_data_failed,
         "\a\aError: writing data pkt: -6\n"
         "\a\aError: writing Configuration file failed: -3\n"},
        {"rules command", 17, {0x07}, dwn_rules_command_failed,
         "Downloading Configuration succeeded\n"
         "\a\aError: reading ack or nak: got 0x07\n"
         "\a\aError: writing Rules command failed: -5\n"},
        {"rules data", 18, {0x16}, dwn_rules_data_failed,
         "Downloading Configuration succeeded\n"
         "\a\aError: reading ack or nak: got 0x16\n"
         "\a\aError: writing data pkt: -5\n"
         "\a\aError: writing Rules file failed: -3\n"},
        {"finish", 19, {0x86}, dwn_finish_failed,
         "Downloading Configuration succeeded\n"
         "Downloading Rules succeeded\n"
         "\a\aError: reading ack or nak: got 0x86\n"
         "\a\aError: error writing finish pkt: -5\n"},
    };
    for (const step_case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::console_fixture con;
        load_rules(con.st(), 1);
        con.out.text.clear();
        connect(con.st().link);
        arrivals_.clear();
        std::vector<int> script(c.failing_arrival, dwn_ack);
        script.insert(script.end(), c.replies.begin(), c.replies.end());
        start_device(script);
        EXPECT_EQ(dwn_download(con.st().link, con.st().config.conf, con.st().rules.rule_table), c.result);
        stop_device();
        EXPECT_EQ(con.out.text, c.messages);
        EXPECT_EQ(arrivals_.size(), script.size());  // nothing sent after the failure
    }
}

TEST_F(scripted_device, RuleCountBeyondTheTableIsRefusedBeforeAnythingIsSent) {
    for (std::uint16_t count : {std::uint16_t{31}, std::uint16_t{0xFFFF}}) {
        SCOPED_TRACE(count);
        testing::console_fixture con;
        con.st().config.conf.set(conf_field::rule_count, count);
        connect(con.st().link);
        line_.clear();
        arrivals_.clear();
        start_device({}, true);
        EXPECT_EQ(dwn_download(con.st().link, con.st().config.conf, con.st().rules.rule_table), dwn_bad_rule_count);
        const std::string refusal = "\a\aError: the configuration counts " + std::to_string(count) +
                                    " rules, more than the 30 of the rule table: nothing sent!\n";
        EXPECT_EQ(con.out.text, refusal);
        con.out.text.clear();
        con.st().config.conf_processed = 1;
        con.st().rules.rules_processed = 1;
        download_command(con.st().link, con.st().config, con.st().rules);
        EXPECT_EQ(con.out.text, refusal);
        EXPECT_EQ(con.st().link.connected, 1);
        EXPECT_TRUE(con.st().link.port.is_open());
        stop_device();
        EXPECT_EQ(line_, "");  // the device was not even told to receive
        EXPECT_EQ(leftover_, "");
        EXPECT_TRUE(arrivals_.empty());
    }
}

TEST_F(scripted_device, DownloadCommandEndsTheConnectionWhateverTheResult) {
    struct command_case {
        const char* what;
        std::vector<int> replies;
        const char* output;
        std::size_t arrivals;
    } cases[] = {
        {"accepted", {}, "Downloading Configuration succeeded\nDownloading Rules succeeded\nDisconnected\n", 19},
        {"garbage at once", {'x'},
         "\a\aError: reading ack or nak: got 0x78\n"
         "\a\aError: writing Configuration command failed: -5\n"
         "\a\aError: Download failed: -1\n"
         "Disconnected\n",
         1},
    };
    for (const command_case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::console_fixture con;
        con.st().config.conf_processed = 1;
        con.st().rules.rules_processed = 1;
        connect(con.st().link);
        line_.clear();
        arrivals_.clear();
        start_device(c.replies, true);
        download_command(con.st().link, con.st().config, con.st().rules);
        stop_device();
        EXPECT_EQ(line_, "download\n");
        EXPECT_EQ(con.out.text, c.output);
        EXPECT_EQ(arrivals_.size(), c.arrivals);
        EXPECT_EQ(con.st().link.connected, 0);
        EXPECT_FALSE(con.st().link.port.is_open());
    }
}

constexpr const char* conf_question =
    "\a\aWarning: Configuration file has not yet been processed!\n"
    "Do you want to use the Default Configuration? (yes|no) [no]: ";
constexpr const char* rules_question =
    "\n\a\aWarning: Rules file has not yet been processed!\n"
    "Do you  want to use the Implicit Rule only without specific rules?\n(yes|no) [no]: ";
constexpr const char* aborted = "\a\aDownload Aborted!\n";
// No port is open behind the connection, so going on shows as a failed write.
constexpr const char* write_refused =
    "\a\aError: wrote 0 of 9, got error on port COM1: Bad file descriptor\n"
    "\a\aError: wrote Download command, got error on port COM1\n";

TEST(DownloadCommand, QuestionsGoOnOnlyForAnAnswerThatStartsWithY) {
    struct question_case {
        int conf_processed;
        int rules_processed;
        const char* input;
        std::string output;
    } cases[] = {
        {0, 0, "n\n", std::string(conf_question) + aborted},
        {0, 0, "\n", std::string(conf_question) + aborted},
        {0, 0, " yes\n", std::string(conf_question) + aborted},
        {0, 0, "", std::string(conf_question) + "\n" + aborted},
        {0, 0, "yes\nno\n", std::string(conf_question) + rules_question + aborted},
        {0, 0, "Y\n", std::string(conf_question) + rules_question + "\n" + aborted},
        {1, 0, "nope\n", std::string(rules_question) + aborted},
        {0, 1, "no\n", std::string(conf_question) + aborted},
        {0, 0, "y\nYes\n", std::string(conf_question) + rules_question + write_refused},
        {0, 1, "yes\r\n", std::string(conf_question) + write_refused},
        {1, 1, "", write_refused},
    };
    for (const question_case& c : cases) {
        SCOPED_TRACE(c.input);
        testing::console_fixture con(c.input);
        link_state& st = con.st().link;
        con.st().config.conf_processed = c.conf_processed;
        con.st().rules.rules_processed = c.rules_processed;
        std::snprintf(st.port_name, sizeof st.port_name, "COM1");
        st.connected = 1;
        download_command(st, con.st().config, con.st().rules);
        EXPECT_EQ(con.out.text, c.output);
        EXPECT_EQ(st.connected, 1);  // neither an abort nor a failed write ends the connection
    }
}

TEST(DownloadCommand, NeedsAConnectionBeforeAnyQuestion) {
    testing::console_fixture con("y\ny\n");
    download_command(con.st().link, con.st().config, con.st().rules);
    EXPECT_EQ(con.out.text, "\a\aError: not Connected!\n");
}

// The link cases compare what the emulator received with files kept beside
// them; those files must be the utility's own records for the same inputs,
// so that together the two show the records crossed the line unchanged.
TEST(DownloadCaseFiles, AreTheRecordsTheUtilityBuildsFromTheCaseInputs) {
    struct case_files {
        const char* name;  // under tests/e2e/link
        const char* conf;  // read first when given, relative to tests/e2e/link/common
        const char* rules;
    } cases[] = {
        {"common/download_defaults", nullptr, nullptr},
        {"common/download_nak4_then_ack", nullptr, nullptr},
        {"common/download_station_filters", "../../../../examples/station.cfg", "../../../../examples/filters.rules"},
        {"common/download_no_rules", nullptr, "../fixtures/no_rules.rules"},
        {"common/download_one_rule", nullptr, "../fixtures/one_rule.rules"},
        {"common/download_three_rules", nullptr, "../fixtures/three_rules.rules"},
        {"common/download_thirty_rules", nullptr, "../fixtures/thirty_rules.rules"},
        {"posix/download_nul_storm", nullptr, "../fixtures/three_rules.rules"},
    };
    const fs::path link_dir = fs::path(ZUV_SOURCE_DIR) / "tests/e2e/link";
    const auto file_bytes = [](const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        EXPECT_TRUE(f.good()) << p;
        return bytes(std::istreambuf_iterator<char>(f), {});
    };
    for (const case_files& c : cases) {
        SCOPED_TRACE(c.name);
        testing::console_fixture con;
        const fs::path inputs = link_dir / "common";
        if (c.conf != nullptr) {
            ASSERT_EQ(conf_process(con.st().config, (inputs / c.conf).c_str()), 0);
        }
        if (c.rules != nullptr) {
            ASSERT_EQ(rules_process(con.st().rules, (inputs / c.rules).c_str()), 0);
        }
        const fs::path received = link_dir / (std::string(c.name) + ".files") / "received";
        const auto& conf = con.st().config.conf.bytes;
        EXPECT_EQ(file_bytes(received / "conf.bin"), bytes(conf.begin(), conf.end()));
        const auto rules = rule_table_image(con.st().rules.rule_table, con.st().config.conf.get(conf_field::rule_count));
        EXPECT_EQ(file_bytes(received / "rules.bin"), bytes(rules.begin(), rules.end()));
    }
}

}  // namespace
}  // namespace zuv
