#pragma once
// Checking configuration, rules and firmware files without a device: each
// file goes through the reader of its console command, so it gets the same
// verdict, and every fault comes out as FILE:LINE: error: message, the form
// editors and CI logs jump to.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/output.h"

namespace zuv {

enum class file_kind { configuration, rules, firmware };

struct check_item {
    std::optional<file_kind> kind;  // none: from the name's extension
    std::string name;
};

// .cfg, .rules, .hex and .ihx, in any letter case.
std::optional<file_kind> kind_from_extension(std::string_view name);

// One fault as a reader printed it: its line when the reader named one.
struct reader_fault {
    std::optional<long long> line;
    std::string text;
    bool operator==(const reader_fault&) const = default;
};

// The faults in what a reader printed about the file it knows as
// shown_name: each message without its BEL characters, its "Error: " and its
// "NAME[LINE]: ", its lines joined into one. The firmware check names its
// line at the end instead ("... for line N in Firmware file!"). A message
// that names no line but comes before one that does (an angle's own
// complaint before the line that held the angle) is about that same line.
std::vector<reader_fault> reader_faults(std::string_view printed, std::string_view shown_name);

// Checks every file in turn and prints one line per fault or one summary line
// per good file. 0 when every file passed, else 1.
int check_files(std::span<const check_item> items, output& out);

}  // namespace zuv
