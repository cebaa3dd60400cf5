#include "shell/commands.h"

#include "config/conf_record.h"
#include "shell/state.h"

namespace zuv {

const std::array<command_entry, 18> command_table{{
    {1, kw_help, "help", "", "Displays this summary (alias ?)"},
    {0, kw_help, "?", "", "Displays this summary"},
    {1, kw_repeat, ".", "", "Repeats the previous command"},
    {1, kw_angles, "angles", "", "Displays the Angles format used for Lat and Lon"},
    {1, kw_baud, "baud", "baud", "Changes the baud rates on host and Zuvedidude\n\t\t\t\tonce connected. Default [ ]"},
    {1, kw_configure, "configure", "file_name", "Reads a Configuration file"},
    {1, kw_dconfigure, "dconfigure", "", "Displays the Configuration"},
    {1, kw_rules, "rules", "file_name", "Reads a Rules file"},
    {1, kw_drules, "drules", "", "Displays the Rules"},
    {1, kw_deditpath, "deditpath", "", "Displays the all the Path Edits"},
    {1, kw_connect, "connect", "com_port [baud]", "Connect to Zuvedidude at optional baud\n\t\t\t\t(8 bits No Parity 1 Stop)"},
    {1, kw_disconnect, "disconnect", "", "Disconnect from the Zuvedidude"},
    {1, kw_download, "download", "", "Download Configuration and Rules to Zuvedidude"},
    {1, kw_firmware, "firmware", "com_port file_name", "Update Zuvedidude firmware from firmware file"},
    {1, kw_serialtest, "serialtest", "iterations", "Serial data test for the specified iterations"},
    {1, kw_exit, "exit", "", "Exits this program (aliases quit, x)"},
    {0, kw_exit, "quit", "", "Same as exit"},
    {0, kw_exit, "x", "", "Same as exit"},
}};

command_lookup find_command(std::string_view word) {
    const command_entry* found = nullptr;
    for (const command_entry& row : command_table) {
        if (!keyword_prefix_match(word, row.name)) continue;
        if (found != nullptr) return {lookup_status::ambiguous, nullptr};
        found = &row;
    }
    return found != nullptr ? command_lookup{lookup_status::found, found}
                            : command_lookup{lookup_status::unknown, nullptr};
}

void cmd_summary(app_state& st) {
    const long link_rate = configured_link_rate(st.config.conf);
    st.out.print("\n\t\tCommand Summary:\n%-10s %-20s %s\n", "Command", "Arguments", "Comments");
    for (const command_entry& row : command_table) {
        if (row.shown != 1) continue;
        st.out.print("%-10s %-20s %s\n", row.name, row.arguments, row.comment);
        if (row.code != kw_baud) continue;
        st.out.print("%-10s Valid Baud Rates:\t", "");
        for (long rate : valid_bauds) st.out.print(rate == link_rate ? "[%ld] " : "%ld ", rate);
        st.out.put("\n");
    }
}

}  // namespace zuv
