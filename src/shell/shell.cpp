#include "shell/shell.h"

#include <cstring>
#include <functional>
#include <optional>

#include "config/conf_display.h"
#include "config/conf_reader.h"
#include "config/conf_record.h"
#include "config/path_edit.h"
#include "core/console.h"
#include "coords/angles.h"
#include "core/version.h"
#include "firmware/upload.h"
#include "link/connection.h"
#include "link/device_command.h"
#include "link/download.h"
#include "link/serial_test.h"
#include "rules/rules_display.h"
#include "rules/rules_reader.h"
#include "shell/commands.h"
#include "shell/state.h"

namespace zuv {

namespace {

constexpr std::string_view command_prompt = "Command> ";

constexpr const char* attribution_line = "zuvdigi: native console loader for Linux and Windows\n";

void print_banner(app_state& st) {
    st.out.print("Zuvedidude PC Host Digi Utility %s\n", version_text);
    st.out.put(attribution_line);
}

// Applies the repeat rule: a line starting with '.' is replaced by the last
// line that did not; any other line becomes that line.
void apply_repeat(app_state& st) {
    if (st.cmd_line[0] == '.') {
        std::memcpy(st.cmd_line, st.prev_line, sizeof st.cmd_line);
    } else {
        std::memcpy(st.prev_line, st.cmd_line, sizeof st.prev_line);
    }
}

void strip_line_feed(char* line) {
    const std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[len - 1] = '\0';
}

// A command that talks to the device runs with the interrupt key caught; the
// status the program ends with when the key cut it short.
std::optional<int> device_command(app_state& st, const std::function<void()>& command) {
    const int status = run_device_command(st.link, command);
    if (status == 0) return std::nullopt;
    return status;
}

// The status the program ends with after this line, or nothing to go on.
std::optional<int> run_command_line(app_state& st, std::string_view line) {
    arg_cursor args(line);
    const auto word = args.next(number_separators);
    if (!word) return std::nullopt;
    const command_lookup hit = find_command(*word);
    const int word_len = static_cast<int>(word->size());
    switch (hit.status) {
    case lookup_status::unknown:
        st.out.print("\a\aError: unknown command: %.*s\n", word_len, word->data());
        return std::nullopt;
    case lookup_status::ambiguous:
        st.out.print("\a\aError: ambiguous command: %.*s\n", word_len, word->data());
        return std::nullopt;
    case lookup_status::found:
        break;
    }
    if (hit.entry->code == kw_exit) return 0;
    return dispatch_command(st, hit.entry->code, args);
}

}  // namespace

bool read_command_line(app_state& st) {
    return st.in.read_line(command_prompt, st.cmd_line, sizeof st.cmd_line, input_kind::command);
}

std::optional<int> dispatch_command(app_state& st, keyword_code code, arg_cursor& args) {
    switch (code) {
    case kw_help:
        cmd_summary(st);
        break;
    case kw_angles:
        angles_command(st.out);
        break;
    case kw_configure:
        configure_command(st.config, args);
        break;
    case kw_dconfigure:
        conf_display(st.config);
        break;
    case kw_deditpath:
        path_edit_display(st.config);
        break;
    case kw_rules:
        rules_command(st.rules, args);
        break;
    case kw_drules:
        rules_display(st.rules);
        break;
    case kw_connect:
        return device_command(st, [&] { connect_command(st.link, st.config.conf, args); });
    case kw_baud:
        return device_command(st, [&] { baud_command(st.link, args); });
    case kw_disconnect:
        disconnect_command(st.link);
        break;
    case kw_download:
        return device_command(st, [&] { download_command(st.link, st.config, st.rules); });
    case kw_serialtest:
        return device_command(st, [&] { serialtest_command(st.link, args); });
    case kw_firmware:
        return device_command(st, [&] { firmware_command(st.link, st.firmware, args); });
    default:
        st.out.print("\a\aInternal Error: command %d is invalid!\n", static_cast<int>(code));
        break;
    }
    return std::nullopt;
}

int run_shell(app_state& st) {
    print_banner(st);
    conf_load_defaults(st.config);
    cmd_summary(st);
    st.out.put("\n");
    for (;;) {
        if (!read_command_line(st)) {
            st.out.put("\n");
            close_link(st.link);
            return 1;
        }
        if (st.cmd_line[0] == '\n') continue;
        strip_line_feed(st.cmd_line);
        apply_repeat(st);
        if (const auto status = run_command_line(st, st.cmd_line)) {
            // The port would close with the process, but on POSIX only an
            // explicit close clears its exclusive mode for the next user.
            close_link(st.link);
            return *status;
        }
    }
}

}  // namespace zuv
