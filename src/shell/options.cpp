#include "shell/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/version.h"
#include "link/connection.h"

#ifndef ZUV_BUILD_VERSION
#define ZUV_BUILD_VERSION "unknown"
#endif

namespace zuv {

namespace {

constexpr const char* program_name = "zuvdigi";
constexpr const char* usage_text =
    "usage: zuvdigi [--help] [--version] [--list-ports] [--trace FILE]\n"
    "       zuvdigi --check [--config|--rules|--firmware] FILE...\n";

void print_version(output& out) {
    out.print("%s %s\n", program_name, ZUV_BUILD_VERSION);
    out.print("Zuvedidude PC Host Digi Utility %s, for device firmware %d.%d and later\n", version_text,
              min_version_major, min_version_minor);
}

// The names given for --check, each where it stood on the command line: a
// plain name, or one that an option in front of it gave a kind.
struct check_names {
    CLI::Option* plain = nullptr;
    std::array<CLI::Option*, 3> kinds{};  // configuration, rules, firmware
    std::vector<std::string> plain_names;
    std::array<std::vector<std::string>, 3> kind_names;

    void add_to(CLI::App& app) {
        plain = app.add_option("FILE", plain_names,
                               "A file for --check: .cfg configuration, .rules rules, .hex or .ihx firmware")
                    ->type_name("");
        const char* names[] = {"--config", "--rules", "--firmware"};
        const char* what[] = {"a configuration file", "a rules file", "a firmware file (Intel HEX)"};
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            kinds[i] = app.add_option(names[i], kind_names[i], std::string("With --check: FILE is ") + what[i] +
                                                                   ", whatever its name")
                           ->type_name("FILE")
                           ->expected(1)
                           ->allow_extra_args(false)
                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        }
    }

    bool any() const { return plain->count() > 0 || std::any_of(kinds.begin(), kinds.end(), [](const CLI::Option* o) { return o->count() > 0; }); }

    std::vector<check_item> in_order(const CLI::App& app) const {
        std::vector<check_item> items;
        std::size_t next_plain = 0;
        std::array<std::size_t, 3> next_kind{};
        static constexpr std::array<file_kind, 3> kind_of{file_kind::configuration, file_kind::rules,
                                                          file_kind::firmware};
        for (const CLI::Option* opt : app.parse_order()) {
            if (opt == plain && next_plain < plain_names.size()) items.push_back({std::nullopt, plain_names[next_plain++]});
            for (std::size_t i = 0; i < kinds.size(); ++i)
                if (opt == kinds[i] && next_kind[i] < kind_names[i].size())
                    items.push_back({kind_of[i], kind_names[i][next_kind[i]++]});
        }
        return items;
    }
};

start_request refuse(output& err, const char* reason) {
    err.print("%s: %s\n", program_name, reason);
    err.put(usage_text);
    return {start_action::done, 2, {}, {}};
}

}  // namespace

start_request parse_command_line(int argc, const char* const* argv, output& out, output& err) {
    CLI::App app{
        "The PC host utility for the Zuvedidude APRS digipeater. Without options it starts the console,\n"
        "which reads commands at the \"Command> \" prompt (type help there); see zuvdigi(1).",
        program_name};
    bool version = false;
    bool check = false;
    bool list_ports = false;
    std::string trace_file;
    app.add_flag("--version", version, "Print the program's version and the device firmware it needs, and exit");
    app.add_flag("--check", check,
                 "Check each FILE as the console would read it, without a device, and exit: 0 when every one "
                 "passed, 1 otherwise");
    check_names names;
    names.add_to(app);
    app.add_flag("--list-ports", list_ports, "List the serial ports the console can reach, and exit");
    CLI::Option* trace_opt =
        app.add_option("--trace", trace_file, "Start the console and write every port event to FILE as it happens")
            ->type_name("FILE");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out.put(app.help());
        return {start_action::done, 0, {}, {}};
    } catch (const CLI::ParseError& e) {
        return refuse(err, e.what());
    }
    if (version) {
        print_version(out);
        return {start_action::done, 0, {}, {}};
    }
    const bool tracing = trace_opt->count() > 0;
    if (names.any() && !check) return refuse(err, "a FILE, --config, --rules and --firmware need --check");
    if (static_cast<int>(check) + static_cast<int>(list_ports) + static_cast<int>(tracing) > 1)
        return refuse(err, "--check, --list-ports and --trace go one at a time");
    if (list_ports) return {start_action::list_ports, 0, {}, {}};
    if (check) {
        std::vector<check_item> items = names.in_order(app);
        if (items.empty()) return refuse(err, "--check needs at least one FILE");
        return {start_action::check, 0, {}, std::move(items)};
    }
    if (tracing && trace_file.empty()) return refuse(err, "--trace needs a FILE name");
    return {start_action::console, 0, std::move(trace_file), {}};
}

}  // namespace zuv
