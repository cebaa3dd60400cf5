#include "shell/file_check.h"

#include <array>
#include <cctype>
#include <cstdio>

#include "config/conf_reader.h"
#include "config/config_state.h"
#include "core/text_lines.h"
#include "core/visible.h"
#include "firmware/inhexverify.h"
#include "rules/rules_reader.h"
#include "rules/rules_state.h"

namespace zuv {

namespace {

// How the readers open a message; a line of a file that happens to start
// with a BEL is still the tail of the message before it.
constexpr std::array<std::string_view, 4> message_heads{"Error: ", "Warning: ", "Internal Error: ", "WARNING! "};
constexpr std::string_view bells = "\a\a";

// A line number the readers can print has at most ten digits; more is text.
constexpr std::size_t max_line_digits = 10;

bool begins_message(std::string_view line) {
    if (!line.starts_with(bells)) return false;
    line.remove_prefix(bells.size());
    for (std::string_view head : message_heads)
        if (line.starts_with(head)) return true;
    return false;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view without_leading_blanks(std::string_view s) {
    const std::size_t start = s.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

// Takes "NAME[LINE]: " from the front of text; the line, or none when text
// does not start so.
std::optional<long long> take_line_prefix(std::string_view& text, std::string_view name) {
    if (!text.starts_with(name)) return std::nullopt;
    std::string_view rest = text.substr(name.size());
    if (!rest.starts_with('[')) return std::nullopt;
    std::size_t i = 1;
    const bool negative = i < rest.size() && rest[i] == '-';
    if (negative) ++i;
    long long line = 0;
    const std::size_t digits_at = i;
    for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])) && i - digits_at < max_line_digits; ++i)
        line = line * 10 + (rest[i] - '0');
    if (i == digits_at || !rest.substr(i).starts_with("]: ")) return std::nullopt;
    text = rest.substr(i + 3);
    return negative ? -line : line;
}

// The line a firmware message names in its text: "... line N in Firmware file!".
std::optional<long long> firmware_message_line(std::string_view text) {
    constexpr std::string_view before = "line ";
    constexpr std::string_view after = " in Firmware file!";
    if (!text.ends_with(after)) return std::nullopt;
    text.remove_suffix(after.size());
    const std::size_t digits = text.find_last_not_of("0123456789") + 1;
    if (digits == text.size() || digits < before.size() || text.substr(digits - before.size(), before.size()) != before)
        return std::nullopt;
    if (text.size() - digits > max_line_digits) return std::nullopt;
    long long line = 0;
    for (const char c : text.substr(digits)) line = line * 10 + (c - '0');
    return line;
}

// The first line of a message: its text without the BELs and "Error: ",
// and the line it names.
reader_fault message_head(std::string_view line, std::string_view name) {
    while (line.starts_with('\a')) line.remove_prefix(1);
    if (line.starts_with(message_heads[0])) line.remove_prefix(message_heads[0].size());
    reader_fault fault;
    fault.line = take_line_prefix(line, name);
    if (!fault.line) fault.line = firmware_message_line(line);
    fault.text.assign(line);
    return fault;
}

void append_continuation(reader_fault& fault, std::string_view line) {
    line = without_leading_blanks(line);
    if (line.empty()) return;
    if (!fault.text.empty() && fault.text.back() != ' ') fault.text.push_back(' ');
    fault.text.append(line);
}

// Gives the unlocated faults in front of a located one its line.
void locate_forward(std::vector<reader_fault>& faults) {
    std::optional<long long> next_line;
    for (auto it = faults.rbegin(); it != faults.rend(); ++it) {
        if (it->line) {
            next_line = it->line;
        } else {
            it->line = next_line;
        }
    }
}

void print_fault(output& out, std::string_view shown_name, const reader_fault& fault) {
    const int name_len = static_cast<int>(shown_name.size());
    if (fault.line) {
        out.print("%.*s:%lld: error: ", name_len, shown_name.data(), *fault.line);
    } else {
        out.print("%.*s: error: ", name_len, shown_name.data());
    }
    // Put, not printed: a reader may pass a file's NUL byte on, and what
    // follows it belongs to the message too.
    out.put(fault.text);
    out.put("\n");
}

const char* plural(long n) { return n == 1 ? "" : "s"; }

// What a reader printed, taken aside: at a terminal the readers already show
// a file's control bytes, elsewhere they pass them as they are.
struct reader_capture {
    explicit reader_capture(const output& out) { printed.terminal = out.is_terminal(); }
    string_output printed;
};

// The summary of a good file, or the faults of a bad one; true when good.
struct check_report {
    bool passed = false;
    std::string summary;
};

check_report check_configuration(string_output& printed, const std::string& name) {
    config_state st(printed);
    if (conf_process(st, name.c_str()) != 0) return {};
    int items = 0;
    const std::size_t at = printed.text.rfind("Configuration items processed ");
    if (at != std::string::npos) std::sscanf(printed.text.c_str() + at, "Configuration items processed %d", &items);
    char summary[96];
    std::snprintf(summary, sizeof summary, "%d configuration item%s", items, plural(items));
    return {true, summary};
}

check_report check_rules(string_output& printed, const std::string& name) {
    conf_record conf{};
    rules_state st(printed, conf);
    if (rules_process(st, name.c_str()) != 0) return {};
    const long rules = conf.get(conf_field::rule_count);
    const bool drop = conf.get(conf_field::implicit_action) == implicit_drop;
    char summary[96];
    std::snprintf(summary, sizeof summary, "%ld rule%s, implicit action %s", rules, plural(rules),
                  drop ? "drop" : "pass");
    return {true, summary};
}

// Opened and checked as the firmware command does it before the port is touched.
check_report check_firmware(string_output& printed, const std::string& name) {
    std::FILE* fp = open_text_file(name.c_str());
    if (fp == nullptr) {
        printed.print("\a\aError: cannot open %s\n", visible(printed, name).c_str());
        return {};
    }
    const int records = inhexverify(printed, fp);
    std::fclose(fp);
    if (records < 1) return {};
    char summary[64];
    std::snprintf(summary, sizeof summary, "%d record%s", records, plural(records));
    return {true, summary};
}

check_report run_reader(file_kind kind, string_output& printed, const std::string& name) {
    switch (kind) {
    case file_kind::configuration:
        return check_configuration(printed, name);
    case file_kind::rules:
        return check_rules(printed, name);
    case file_kind::firmware:
        return check_firmware(printed, name);
    }
    return {};
}

bool check_file(const check_item& item, output& out) {
    const std::string shown_name = visible(out, item.name);
    const std::optional<file_kind> kind = item.kind ? item.kind : kind_from_extension(item.name);
    if (!kind) {
        print_fault(out, shown_name,
                    {std::nullopt, "unknown kind of file: name it .cfg, .rules, .hex or .ihx, or put --config, "
                                   "--rules or --firmware in front of it"});
        return false;
    }
    reader_capture capture(out);
    const check_report report = run_reader(*kind, capture.printed, item.name);
    if (report.passed) {
        out.print("%s: ok: %s\n", shown_name.c_str(), report.summary.c_str());
        return true;
    }
    std::vector<reader_fault> faults = reader_faults(capture.printed.text, visible(capture.printed, item.name));
    if (faults.empty()) faults.push_back({std::nullopt, "refused without a message"});
    for (const reader_fault& fault : faults) print_fault(out, shown_name, fault);
    return false;
}

bool ends_with_ignoring_case(std::string_view name, std::string_view ending) {
    if (name.size() < ending.size()) return false;
    name.remove_prefix(name.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != ending[i]) return false;
    return true;
}

}  // namespace

std::optional<file_kind> kind_from_extension(std::string_view name) {
    struct ending {
        std::string_view text;
        file_kind kind;
    };
    static constexpr std::array<ending, 4> endings{{
        {".cfg", file_kind::configuration},
        {".rules", file_kind::rules},
        {".hex", file_kind::firmware},
        {".ihx", file_kind::firmware},
    }};
    for (const ending& e : endings)
        if (name.size() > e.text.size() && ends_with_ignoring_case(name, e.text)) return e.kind;
    return std::nullopt;
}

std::vector<reader_fault> reader_faults(std::string_view printed, std::string_view shown_name) {
    std::vector<reader_fault> faults;
    for (std::string_view line : split_lines(printed)) {
        if (begins_message(line) || (faults.empty() && !without_leading_blanks(line).empty())) {
            faults.push_back(message_head(line, shown_name));
        } else if (!faults.empty()) {
            append_continuation(faults.back(), line);
        }
    }
    locate_forward(faults);
    return faults;
}

int check_files(std::span<const check_item> items, output& out) {
    bool all_passed = true;
    for (const check_item& item : items)
        if (!check_file(item, out)) all_passed = false;
    return all_passed ? 0 : 1;
}

}  // namespace zuv
