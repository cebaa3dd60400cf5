#include "link/download.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/config_state.h"
#include "core/console.h"
#include "link/connection.h"
#include "link/device_command.h"
#include "link/link_state.h"
#include "rules/rules_state.h"
#include "serial/port.h"

namespace zuv {

namespace {

constexpr std::uint8_t download_request[] = {'d', 'o', 'w', 'n', 'l', 'o', 'a', 'd', '\n'};
static_assert(sizeof download_request == 9);

// Whatever the device answered to "download\n" is not part of the protocol.
constexpr int discard_read_size = 64;
constexpr int discard_read_timeout_ms = 10;

constexpr int conf_size = static_cast<int>(conf_record_size);

// An answer is read like a command line.
constexpr std::size_t answer_size = 256;

constexpr const char* conf_question =
    "\a\aWarning: Configuration file has not yet been processed!\n"
    "Do you want to use the Default Configuration? (yes|no) [no]: ";
constexpr const char* rules_question =
    "\n\a\aWarning: Rules file has not yet been processed!\n"
    "Do you  want to use the Implicit Rule only without specific rules?\n(yes|no) [no]: ";

void discard_download_reply(link_state& st) {
    std::uint8_t scratch[discard_read_size];
    (void)read_port(st, st.port_name, scratch, discard_read_size, discard_read_timeout_ms);
}

int send_command_packet(link_state& st, const char* name, int size) {
    command_packet pkt = make_command_packet(name, size);
    return dwn_write_pkt(st, pkt.data(), cmd_pkt_len);
}

int send_conf(link_state& st, const conf_record& conf) {
    note_for_interrupt(st, "during the download of the configuration: the device may hold part of it; connect and "
                           "download again before it is used");
    if (const int r = send_command_packet(st, conf_transfer, conf_size); r != cmd_pkt_len) {
        st.out.print("\a\aError: writing Configuration command failed: %d\n", r);
        return dwn_conf_command_failed;
    }
    if (const int r = dwn_write_file(st, conf.bytes.data(), conf_size); r != conf_size) {
        st.out.print("\a\aError: writing Configuration file failed: %d\n", r);
        return dwn_conf_data_failed;
    }
    st.out.put("Downloading Configuration succeeded\n");
    return 0;
}

int send_rules(link_state& st, const rule_array& rule_table, int size) {
    note_for_interrupt(st, "during the download of the rules: the device took the configuration and may hold part of "
                           "the rules; connect and download again before it is used");
    if (const int r = send_command_packet(st, rules_transfer, size); r != cmd_pkt_len) {
        st.out.print("\a\aError: writing Rules command failed: %d\n", r);
        return dwn_rules_command_failed;
    }
    if (size != 0) {
        const auto image = rule_table_image(rule_table, static_cast<std::size_t>(size) / rule_record_size);
        if (const int r = dwn_write_file(st, image.data(), size); r != size) {
            st.out.print("\a\aError: writing Rules file failed: %d\n", r);
            return dwn_rules_data_failed;
        }
    }
    st.out.put("Downloading Rules succeeded\n");
    return 0;
}

int send_finish(link_state& st) {
    note_for_interrupt(st, "at the end of the download: the device took the configuration and the rules but may not "
                           "have been told that the download is complete; connect and download again before it is used");
    if (const int r = send_command_packet(st, finish_transfer, -1); r != cmd_pkt_len) {
        st.out.print("\a\aError: error writing finish pkt: %d\n", r);
        return dwn_finish_failed;
    }
    return 0;
}

// Asks question; true only for an answer that begins with y or Y.
bool operator_agrees(link_state& st, const char* question) {
    char answer[answer_size];
    if (!st.in.read_line(question, answer, sizeof answer)) st.out.put("\n");
    if (answer[0] == 'y' || answer[0] == 'Y') return true;
    st.out.put("\a\aDownload Aborted!\n");
    return false;
}

}  // namespace

std::uint16_t dwn_crc(std::uint16_t start, const std::uint8_t* bp, std::size_t count,
                      std::span<const std::uint16_t, 256> table) {
    std::uint16_t reg = start;
    for (std::size_t i = 0; i < count; ++i)
        reg = static_cast<std::uint16_t>(table[reg >> 8] ^ (static_cast<std::uint16_t>(reg << 8) | bp[i]));
    return reg;
}

void dwn_frame_pkt(std::uint8_t* pp, int len) {
    const auto n = static_cast<std::size_t>(len);
    store_be_unsigned<std::uint16_t>(pp + pkt_field::length.off, static_cast<std::uint16_t>(len));
    std::uint8_t* crc_field = pp + n - 2;
    store_be_unsigned<std::uint16_t>(crc_field, 0);
    store_be_unsigned<std::uint16_t>(crc_field, dwn_crc(0xFFFF, pp, n, crc_table));
}

command_packet make_command_packet(const char* name, int size) {
    command_packet pkt{};
    const std::size_t name_len = std::min(std::strlen(name), cmd_field::name.width - 1);
    std::memcpy(pkt.data() + cmd_field::name.off, name, name_len);
    if (size >= 0) {
        // A transfer is at most 904 bytes: its size always fits the field.
        char digits[16];
        const int width = std::snprintf(digits, sizeof digits, "%d", size);
        std::memcpy(pkt.data() + cmd_field::size.off, digits,
                    std::min(static_cast<std::size_t>(width), cmd_field::size.width));
    }
    return pkt;
}

int dwn_write_pkt(link_state& st, std::uint8_t* pp, int len) {
    if (pp == nullptr) {
        st.out.put("dwn_write_pkt: argument ptr pp is null\n");
        return pkt_null;
    }
    if (len < pkt_min_len) {
        st.out.put("dwn_write_pkt: argument len < 5\n");
        return pkt_too_short;
    }
    dwn_frame_pkt(pp, len);
    for (int attempt = 0; attempt < pkt_tries; ++attempt) {
        // A reply byte is read for this try only: one the device sent beyond
        // the last answer must not pass for the answer to this packet.
        purge_input(st);
        if (write_port(st, st.port_name, pp, len) < 0) {
            st.out.put("\a\aError: writing pkt\n");
            return pkt_write_failed;
        }
        std::uint8_t reply = 0;
        const int got = read_port(st, st.port_name, &reply, 1, pkt_reply_timeout_ms);
        if (got != 1) {
            st.out.print("\a\aError: reading ack or nak: %d\n", got);
            return pkt_no_reply;
        }
        if (reply == dwn_ack) return len;
        if (reply != dwn_nak) {
            st.out.print("\a\aError: reading ack or nak: got 0x%02x\n", reply);
            return pkt_bad_reply;
        }
    }
    return pkt_refused;
}

int dwn_write_file(link_state& st, const std::uint8_t* bp, int len) {
    if (bp == nullptr) {
        st.out.put("dwn_write_file: argument ptr bp is null\n");
        return file_null;
    }
    if (len < 1) {
        st.out.put("dwn_write_file: argument len < 1\n");
        return file_empty;
    }
    std::array<std::uint8_t, data_pkt_max> pkt{};
    for (int sent = 0; sent < len;) {
        const int n = std::min(len - sent, data_payload_max);
        std::memcpy(pkt.data() + pkt_field::payload, bp + sent, static_cast<std::size_t>(n));
        if (const int r = dwn_write_pkt(st, pkt.data(), n + pkt_overhead); r != n + pkt_overhead) {
            st.out.print("\a\aError: writing data pkt: %d\n", r);
            return file_pkt_failed;
        }
        sent += n;
    }
    return len;
}

int rules_transfer_size(link_state& st, const conf_record& conf) {
    const unsigned count = conf.get(conf_field::rule_count);
    if (count > max_rules) {
        st.out.print("\a\aError: the configuration counts %u rules, more than the %d of the rule table: nothing sent!\n",
                     count, static_cast<int>(max_rules));
        return -1;
    }
    return static_cast<int>(count * rule_record_size);
}

int dwn_download(link_state& st, const conf_record& conf, const rule_array& rule_table) {
    // The rule count is data in the record: checked before anything goes,
    // so the rules transfer never reads past the table.
    const int rules_size = rules_transfer_size(st, conf);
    if (rules_size < 0) return dwn_bad_rule_count;
    discard_download_reply(st);
    if (const int r = send_conf(st, conf); r != 0) return r;
    if (const int r = send_rules(st, rule_table, rules_size); r != 0) return r;
    return send_finish(st);
}

void download_command(link_state& st, const config_state& config, const rules_state& rules) {
    if (st.connected != 1) {
        st.out.put("\a\aError: not Connected!\n");
        return;
    }
    note_for_interrupt(st, "before the download: nothing was sent, the device was not changed");
    if (config.conf_processed == 0 && !operator_agrees(st, conf_question)) return;
    if (rules.rules_processed == 0 && !operator_agrees(st, rules_question)) return;
    // Refused while the device is still at its console: it was told nothing.
    if (rules_transfer_size(st, config.conf) < 0) return;
    if (write_port(st, st.port_name, download_request, sizeof download_request) < 0) {
        st.out.print("\a\aError: wrote Download command, got error on port %s\n", st.port_name);
        return;
    }
    if (const int result = dwn_download(st, config.conf, rules.rule_table); result != 0)
        st.out.print("\a\aError: Download failed: %d\n", result);
    close_link(st);
    st.out.put("Disconnected\n");
}

}  // namespace zuv
