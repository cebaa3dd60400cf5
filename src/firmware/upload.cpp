#include "firmware/upload.h"

#include <array>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "core/console.h"
#include "core/output.h"
#include "core/text_lines.h"
#include "core/visible.h"
#include "firmware/firmware_state.h"
#include "firmware/inhexverify.h"
#include "link/connection.h"
#include "link/device_command.h"
#include "link/link_state.h"
#include "serial/port.h"

namespace zuv {

namespace {

constexpr std::uint8_t interrupt_bytes[] = {0x03, '\n'};
constexpr std::uint8_t reset_command[] = {'r', 'e', 's', 'e', 't', '\n'};
constexpr std::uint8_t enq = 0x05;
constexpr std::uint8_t ack = 0x06;
constexpr std::uint8_t syn = 0x16;  // FIRMSYNC
constexpr const char* identifier_name = "DeReDi";
constexpr std::string_view identifier = "DeReDi1.0";  // the name, then the loader version it speaks
constexpr std::uint8_t record_end = '\r';

constexpr int warning_minutes = 5;
constexpr int drain_read_size = 1024;
constexpr int drain_read_timeout_ms = 100;
constexpr int reset_read_size = 32;
constexpr int reset_read_timeout_ms = 50;
// The first reply byte goes to position 0, the rest of the window after it.
constexpr int reply_window = 20;

constexpr int progress_bar_width = 59;
constexpr std::size_t progress_bar_at = 21;

// One firmware call's working set.
struct upload {
    link_state& link;
    firmware_state& fw;
    std::FILE* file;
    int total;  // the records the check counted
};

struct file_closer {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
};

struct window_counts {
    int first;
    int second;
};

const std::uint8_t* bytes_of(std::string_view text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

bool write_bytes(link_state& link, const std::uint8_t* buf, std::size_t len) {
    return write_port(link, link.port_name, buf, static_cast<int>(len)) >= 0;
}

// Two reads into the reply window: one byte at position 0, then up to 19 after it.
window_counts read_window(link_state& link, int first_ms, int second_ms) {
    const int first = read_port(link, link.port_name, link.reply_buf, 1, first_ms);
    const int second = read_port(link, link.port_name, link.reply_buf + 1, reply_window - 1, second_ms);
    return {first, second};
}

void clear_window(link_state& link) { std::memset(link.reply_buf, 0, reply_window); }

bool window_holds(const link_state& link, std::uint8_t byte) {
    return std::memchr(link.reply_buf, byte, reply_window) != nullptr;
}

const char* plural(int count) { return count == 1 ? "" : "s"; }

void print_counts(output& out, window_counts n) {
    out.print("\nRead #1 got %d char%s\n", n.first, plural(n.first));
    out.print("Read #2 got %d char%s:\n", n.second, plural(n.second));
}

// Every position of the window, printable ones as themselves.
void print_window(const link_state& link) {
    for (int i = 0; i < reply_window; ++i) {
        const std::uint8_t b = link.reply_buf[i];
        if (b >= 0x20 && b <= 0x7E) {
            link.out.print("%c ", b);
        } else {
            link.out.print("[%02x] ", static_cast<unsigned>(b));
        }
    }
    link.out.put("\n");
}

int interrupt_device(upload& u) {
    if (write_bytes(u.link, interrupt_bytes, sizeof interrupt_bytes)) return fw_ok;
    u.link.out.print("\n\a\aError: wrote interrupt character, got error on port %s\n", u.link.port_name);
    return fw_write_failed;
}

// Lets whatever the device still sends pass, bounded as when connecting: a
// device that never falls silent must not hang the utility.
void drain_device(upload& u) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(connect_drain_limit_ms);
    while (read_port(u.link, u.link.port_name, u.link.reply_buf, drain_read_size, drain_read_timeout_ms) > 0 &&
           std::chrono::steady_clock::now() < limit) {
    }
    purge_port(u.link);
}

void warn_operator(upload& u) {
    char warning[640];
    std::snprintf(
        warning, sizeof warning,
        "\n\a\aWARNING! The Zuvedidude Firmware is about to be updated!\nThis will take less than %d minutes.\nDo NOT "
        "interrupt the process once started!\nIf power is interrupted during this process you may not be able\nto "
        "communicate with the Zuvedidude due to firmware corruption.\nIf this happens correct the power problem and "
        "restart this entire process.\n\nType the Enter key when you are ready to continue...",
        warning_minutes);
    // Whatever was typed, and the end of the input, the upload goes on.
    std::array<char, reply_buf_size> answer{};
    (void)u.link.in.read_line(warning, answer.data(), answer.size());
}

// Restarts the device into its boot loader and opens the port again.
int reset_device(upload& u) {
    note_for_interrupt(u.link, "during the firmware upload, before any record was sent: the device may wait in its "
                               "boot loader and needs a complete upload before it is used");
    clear_window(u.link);
    if (!write_bytes(u.link, reset_command, sizeof reset_command)) {
        u.link.out.print("\n\a\aError: wrote reset command, got error on port %s\n", u.link.port_name);
        return fw_write_failed;
    }
    std::uint8_t scratch[reset_read_size];
    (void)read_port(u.link, u.link.port_name, scratch, reset_read_size, reset_read_timeout_ms);
    drain_port(u.link);
    close_port(u.link);
    if (open_port(u.link, u.link.port_name, firmware_rate) != 0) {
        u.link.out.print("\a\aError: could not open COM port %s\n", u.link.port_name);
        return fw_no_port;
    }
    return fw_ok;
}

int await_prompt(upload& u) {
    const window_counts n = read_window(u.link, 20000, 100);
    // Only the bytes that arrived count, and only they are shown.
    const std::uint8_t* first_end = u.link.reply_buf + n.first;
    const std::uint8_t* rest = u.link.reply_buf + 1;
    if (std::memchr(u.link.reply_buf, enq, static_cast<std::size_t>(first_end - u.link.reply_buf)) != nullptr ||
        std::memchr(rest, enq, static_cast<std::size_t>(n.second)) != nullptr)
        return fw_ok;
    u.link.out.put("\n\a\aError: did not receive the Zuvedidude Firmware prompt!\n");
    print_counts(u.link.out, n);
    for (const std::uint8_t* p = u.link.reply_buf; p < first_end; ++p) u.link.out.print("0x%02x ", *p);
    for (int i = 0; i < n.second; ++i) u.link.out.print("0x%02x ", rest[i]);
    u.link.out.put("\n");
    return fw_no_prompt;
}

int synchronise(upload& u) {
    if (!write_bytes(u.link, &syn, 1)) {
        u.link.out.print("\n\a\aError: wrote FIRMSYNC sync character, got error on port %s\n", u.link.port_name);
        return fw_write_failed;
    }
    clear_window(u.link);
    const window_counts n = read_window(u.link, 20000, 30);
    if (window_holds(u.link, ack)) return fw_ok;
    u.link.out.put("\n\a\aError: did not synchronize with the Zuvedidude!\n");
    print_counts(u.link.out, n);
    print_window(u.link);
    return fw_no_sync;
}

int identify(upload& u) {
    if (!write_bytes(u.link, bytes_of(identifier), identifier.size())) {
        u.link.out.print("\n\a\aError: wrote %s identifier, got error on port %s\n", identifier_name,
                         u.link.port_name);
        return fw_id_write_failed;
    }
    clear_window(u.link);
    const window_counts n = read_window(u.link, 5000, 200);
    if (window_holds(u.link, ack)) return fw_ok;
    u.link.out.print("\n\a\aError: did not receive %s identifier acknowledgement!\n", identifier_name);
    print_counts(u.link.out, n);
    print_window(u.link);
    return fw_no_id_ack;
}

// The boot loader's replies to a record other than ACK: what each means and
// whether the record goes again (0) or the upload ends with a code.
struct reply_code_entry {
    std::uint8_t reply;
    const char* meaning;
    int result;
};

constexpr std::array<reply_code_entry, 6> reply_codes{{
    {0x00, "timed out", 0},
    {0x11, "didn't get start character", 0},
    {0x12, "bad record checksum", 0},
    {0x15, "validation", 0},
    {0x17, "buffer full", fw_buffer_full},
    {0x18, "fatal", fw_device_fatal},
}};

// Reports a record's reply other than ACK: 0 when the record goes again,
// else the code the upload ends with. A byte the table does not know is
// reported with its value and sent again.
int act_on_reply(output& out, std::uint8_t reply, unsigned long line) {
    for (const reply_code_entry& row : reply_codes) {
        if (row.reply != reply) continue;
        out.print("\n\a\aError: Firmware updating error: %s on Line %lu%s\n", row.meaning, line,
                  row.result == 0 ? ", resending." : "- aborting!");
        return row.result;
    }
    out.print("\n\a\aError: Firmware updating error: unknown (0x%02x) on Line %lu, resending.\n",
              static_cast<unsigned>(reply), line);
    return 0;
}

struct record_counts {
    unsigned long line = 0;  // every line read, records or not
    long acked = 0;
    int errors = 0;  // over the whole upload, never reset
};

void note_records(upload& u, long acked) {
    note_for_interrupt(u.link, "during the firmware upload, after %ld of %d records: the device holds a partial image "
                               "and needs a complete upload before it is used", acked, u.total);
}

// Sends one record line, ended by a single CR, until the boot loader takes it.
int send_record(upload& u, std::string_view record, record_counts& c) {
    std::array<std::uint8_t, long_text_line_max + 1> wire{};
    std::memcpy(wire.data(), record.data(), record.size());
    wire[record.size()] = record_end;
    const std::size_t len = record.size() + 1;
    const int timeout_ms = record_reply_timeout_ms(len);
    for (;;) {
        // A reply byte is read for this send only: one the boot loader sent
        // beyond its last answer (a late one among them) must not pass for the
        // answer to this record.
        purge_input(u.link);
        if (!write_bytes(u.link, wire.data(), len)) {
            u.link.out.print("\a\aError: wrote FIRMSYNC attention character, got error on port %s\n",
                             u.link.port_name);
            return fw_record_write_failed;
        }
        std::uint8_t reply = 0;
        if (read_port(u.link, u.link.port_name, &reply, 1, timeout_ms) == 0) reply = 0x00;
        if (reply == ack) {
            ++c.acked;
            note_records(u, c.acked);
            fw_progress(u.link.out, u.fw, c.acked, u.total);
            return fw_ok;
        }
        if (++c.errors >= fw_error_limit) {
            u.link.out.print("\n\a\aError: maximum Firmware updating errors (%d) encountered- aborting!\n",
                             fw_error_limit);
            return fw_too_many_errors;
        }
        if (const int rc = act_on_reply(u.link.out, reply, c.line); rc != 0) return rc;
    }
}

int send_records(upload& u) {
    u.link.out.put("\n\n");
    std::rewind(u.file);
    text_line_source src = firmware_line_source(u.file);
    u.fw.start_time = u.fw.clock();
    record_counts c;
    note_records(u, 0);
    for (;;) {
        std::string_view text;
        const line_read got = read_text_line(src, text);
        if (got == line_read::end) break;
        if (got == line_read::failed) {
            // Stopping here quietly would report a part of the image as all of it.
            u.link.out.print("\n\a\aError: cannot read line %lu in Firmware file- aborting!\n", c.line + 1);
            return fw_cannot_read;
        }
        ++c.line;
        if (!is_hex_record(text)) continue;
        if (const int rc = send_record(u, text, c); rc != fw_ok) return rc;
    }
    note_for_interrupt(u.link, "at the end of the firmware upload: the boot loader took every record");
    u.link.out.put("\n");
    return fw_ok;
}

// Everything after the first opening, up to the last record.
int boot_loader_session(upload& u) {
    if (const int rc = interrupt_device(u); rc != fw_ok) return rc;
    drain_device(u);
    warn_operator(u);
    if (const int rc = reset_device(u); rc != fw_ok) return rc;
    if (const int rc = await_prompt(u); rc != fw_ok) return rc;
    if (const int rc = synchronise(u); rc != fw_ok) return rc;
    u.link.out.print("\a\nConnected at %ld\n", firmware_rate);
    if (const int rc = identify(u); rc != fw_ok) return rc;
    return send_records(u);
}

int upload_file(link_state& link, firmware_state& fw, int port, std::FILE* file) {
    const int total = inhexverify(link.out, file);
    if (total < 1) {
        link.out.put("\a\aError: Firmware file has some kind of error!\n");
        return fw_bad_file;
    }
    std::snprintf(link.port_name, sizeof link.port_name, "COM%d", port);
    if (open_port(link, link.port_name, firmware_rate) != 0) {
        link.out.print("\a\aError: could not open COM port %s\n", link.port_name);
        return fw_no_port;
    }
    note_for_interrupt(link, "before the firmware upload began: the device's firmware was not changed");
    upload u{link, fw, file, total};
    const int rc = boot_loader_session(u);
    // Only the failed second opening leaves the port already closed.
    if (rc == fw_no_port) return rc;
    close_port(link);
    link.out.put("Disconnected\n");
    return rc;
}

}  // namespace

int record_reply_timeout_ms(std::size_t characters) {
    constexpr std::uint64_t bits_per_character = 10;
    const std::uint64_t wire_ms = (characters * bits_per_character * 1000 + firmware_rate - 1) / firmware_rate;
    return 100 + static_cast<int>(wire_ms);
}

int firmware(link_state& link, firmware_state& fw, int port, const char* filename) {
    if (filename == nullptr) {
        link.out.put("firmware: Error: param filename is invalid\n");
        return fw_no_file_name;
    }
    // Closed however the upload ends, the interrupt key included.
    const std::unique_ptr<std::FILE, file_closer> file(open_text_file(filename));
    if (!file) {
        link.out.print("\a\aError: cannot open %s\n", visible(link.out, filename).c_str());
        return fw_cannot_open;
    }
    return upload_file(link, fw, port, file.get());
}

std::string progress_line(std::int64_t elapsed, long acked, long total) {
    const double fraction = total > 0 ? static_cast<double>(acked) / static_cast<double>(total) : 0.0;
    std::int64_t ttc = 0;
    if (fraction != 0.0) ttc = static_cast<std::int64_t>(std::floor(static_cast<double>(elapsed) / fraction)) - elapsed;
    // A calendar clock set back during the upload makes no negative estimate.
    if (ttc < 0) ttc = 0;
    char text[96];
    const int len = std::snprintf(text, sizeof text, "\r%3" PRId64 "s TTC %3lus %4.1f%% ", elapsed,
                                  static_cast<unsigned long>(static_cast<std::uint32_t>(ttc)), fraction * 100.0);
    std::string line(text, static_cast<std::size_t>(len > 0 ? len : 0));
    // The bar starts at index 21 whatever the fields took, and the line ends after it.
    line.resize(progress_bar_at, ' ');
    line.append(static_cast<std::size_t>(std::floor(fraction * progress_bar_width)), '=');
    return line;
}

void fw_progress(output& out, const firmware_state& fw, long acked, long total) {
    out.put(progress_line(fw.clock() - fw.start_time, acked, total));
}

namespace {

// The port and the file name of the command line into fw.fw_filename, or
// nothing after the refusal.
std::optional<int> command_arguments(link_state& link, firmware_state& fw, arg_cursor& args) {
    const auto port_token = args.next_number();
    if (!port_token) {
        link.out.put("\a\aError: missing arguments: com_port file_name\n");
        return std::nullopt;
    }
    const auto port = port_arg(link.out, *port_token);
    if (!port) return std::nullopt;
    const auto name = args.next_file_name();
    if (!name) {
        link.out.put("\a\aError: missing argument: file_name\n");
        return std::nullopt;
    }
    std::snprintf(fw.fw_filename, sizeof fw.fw_filename, "%.*s", static_cast<int>(name->size()), name->data());
    return port;
}

// Yes only for an answer starting with y or Y. A longer answer than fits
// stays in the input, where the next prompt reads it as a command line.
bool operator_confirms(link_state& link) {
    char answer[40];
    const bool answered = link.in.read_line(
        "\a\aWARNING! This will alter the Zuvedidude firmware!\nDo you want to continue (n or y)? [n]: ", answer,
        sizeof answer);
    if (!answered) link.out.put("\n");
    if (answered && (answer[0] == 'y' || answer[0] == 'Y')) return true;
    link.out.put("Zuvedidude Firmware will NOT be updated!\n");
    return false;
}

}  // namespace

void firmware_command(link_state& link, firmware_state& fw, arg_cursor& args) {
    if (link.connected == 1) {
        link.out.put("\a\aError: already Connected, Disconnect first!\n");
        return;
    }
    const auto port = command_arguments(link, fw, args);
    if (!port) return;
    note_for_interrupt(link, "at the firmware question: nothing was sent, the device was not changed");
    if (!operator_confirms(link)) return;
    if (firmware(link, fw, *port, fw.fw_filename) != fw_ok) {
        link.out.put("Error: Firmware update failed!\n\tTry again!\n");
        return;
    }
    link.out.put(
        "\a\aFirmware update succeeded!\n\nDon't forget to Configure Operating Parameters, Process Rules\nand "
        "Download these to the Zuvedidude!\n");
}

}  // namespace zuv
