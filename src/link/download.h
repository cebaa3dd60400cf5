#pragma once
// The download: the configuration record and the rule records go to the
// device in framed packets. Each packet carries its own length and a CRC-16,
// and the device answers each one with a single byte, ACK to keep it or NAK
// to have it sent again. A transfer is announced by a command packet naming
// it and its size; "-cestfini-" closes the download.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "config/conf_record.h"
#include "core/wire.h"
#include "rules/rule_record.h"

namespace zuv {

struct link_state;
struct config_state;
struct rules_state;

inline constexpr std::uint8_t dwn_ack = 0x06;
inline constexpr std::uint8_t dwn_nak = 0x15;

// Every packet: a big-endian length of the whole packet, the payload, and a
// big-endian CRC over everything in front of it.
namespace pkt_field {
inline constexpr field_at<std::uint16_t> length{0};
inline constexpr std::size_t payload = length.end();
}  // namespace pkt_field
inline constexpr int pkt_overhead = 4;  // the length and the CRC
inline constexpr int pkt_min_len = pkt_overhead + 1;
inline constexpr int data_payload_max = 60;
inline constexpr int data_pkt_max = data_payload_max + pkt_overhead;

// The command packet that announces a transfer: its name and its size as
// decimal text, both padded with NUL bytes.
namespace cmd_field {
inline constexpr field_at<std::uint16_t> length{0};
inline constexpr text_at name{2, 12};
inline constexpr text_at size{14, 5};
inline constexpr field_at<std::uint16_t> crc{19};
}  // namespace cmd_field
inline constexpr int cmd_pkt_len = 21;
static_assert(cmd_field::length.off == 0 && cmd_field::length.end() == cmd_field::name.off);
static_assert(cmd_field::name.off == pkt_field::payload && cmd_field::name.end() == cmd_field::size.off);
static_assert(cmd_field::size.off == 14 && cmd_field::size.end() == cmd_field::crc.off);
static_assert(cmd_field::crc.off == 19 && cmd_field::crc.end() == cmd_pkt_len);
using command_packet = std::array<std::uint8_t, cmd_pkt_len>;

// The transfers' names, and the size of the configuration transfer.
inline constexpr const char* conf_transfer = "conf";
inline constexpr const char* rules_transfer = "rules";
inline constexpr const char* finish_transfer = "-cestfini-";

inline constexpr int pkt_tries = 5;
inline constexpr int pkt_reply_timeout_ms = 5000;

// dwn_write_pkt's failures.
inline constexpr int pkt_null = -1;
inline constexpr int pkt_too_short = -2;
inline constexpr int pkt_write_failed = -3;
inline constexpr int pkt_no_reply = -4;
inline constexpr int pkt_bad_reply = -5;
inline constexpr int pkt_refused = -6;  // NAK on every try

// dwn_write_file's failures.
inline constexpr int file_null = -1;
inline constexpr int file_empty = -2;
inline constexpr int file_pkt_failed = -3;

// dwn_download's failures: the step that failed, in the order they run, and
// a record whose rule count the rule table cannot back.
inline constexpr int dwn_conf_command_failed = -1;
inline constexpr int dwn_conf_data_failed = -2;
inline constexpr int dwn_rules_command_failed = -3;
inline constexpr int dwn_rules_data_failed = -4;
inline constexpr int dwn_finish_failed = -5;
inline constexpr int dwn_bad_rule_count = -6;

// The table of the CRC polynomial 0x1021 for most-significant-bit-first
// processing: entry i is what eight shift steps give from i in the high byte.
constexpr std::array<std::uint16_t, 256> make_crc_table() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < table.size(); ++i) {
        unsigned reg = i << 8;
        for (int step = 0; step < 8; ++step) reg = (reg & 0x8000) != 0 ? (reg << 1) ^ 0x1021 : reg << 1;
        table[i] = static_cast<std::uint16_t>(reg);
    }
    return table;
}
inline constexpr std::array<std::uint16_t, 256> crc_table = make_crc_table();
static_assert(crc_table[1] == 0x1021 && crc_table[2] == 0x2042 && crc_table[255] == 0x1EF0);

// The CRC register after feeding count bytes from bp, starting from start.
// The bytes enter at the low end of the register (the augmented form), so a
// packet's CRC comes out right only over its zeroed CRC bytes too.
std::uint16_t dwn_crc(std::uint16_t start, const std::uint8_t* bp, std::size_t count,
                      std::span<const std::uint16_t, 256> table);

// Writes the length and the CRC of the packet of len bytes in pp, whose
// payload already stands at offset 2; len is at least 5.
void dwn_frame_pkt(std::uint8_t* pp, int len);

// A zeroed command packet with the transfer name and, when size is not
// negative, its decimal text; the CRC is left to dwn_write_pkt.
command_packet make_command_packet(const char* name, int size);

// Frames the packet and sends it until the device takes it: len when it
// answered ACK, else one of the pkt_ codes after its message (none for
// pkt_refused).
int dwn_write_pkt(link_state& st, std::uint8_t* pp, int len);

// Sends len bytes from bp as data packets of at most 60 bytes: len, or one of
// the file_ codes after its message.
int dwn_write_file(link_state& st, const std::uint8_t* bp, int len);

// The bytes the rules transfer sends: rule_count records of 28 bytes; -1
// after its message when the count is more than the rule table holds.
int rules_transfer_size(link_state& st, const conf_record& conf);

// The whole download on the connected port, right after "download\n": the
// configuration, the first rule_count records of rule_table, the finish.
// 0, or one of the dwn_ codes after its message.
int dwn_download(link_state& st, const conf_record& conf, const rule_array& rule_table);

// The download console command; the connection always ends with it once
// the device was told to receive.
void download_command(link_state& st, const config_state& config, const rules_state& rules);

}  // namespace zuv
