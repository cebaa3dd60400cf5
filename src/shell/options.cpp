#include "shell/options.h"

#include <CLI/CLI.hpp>

#include <string>

#include "core/version.h"
#include "link/connection.h"

#ifndef ZUV_BUILD_VERSION
#define ZUV_BUILD_VERSION "unknown"
#endif

namespace zuv {

namespace {

constexpr const char* program_name = "zuvdigi";
constexpr const char* usage_line = "usage: zuvdigi [--help] [--version]\n";

void print_version(output& out) {
    out.print("%s %s\n", program_name, ZUV_BUILD_VERSION);
    out.print("Zuvedidude PC Host Digi Utility %s, for device firmware %d.%d and later\n", version_text,
              min_version_major, min_version_minor);
}

}  // namespace

start_request parse_command_line(int argc, const char* const* argv, output& out, output& err) {
    CLI::App app{
        "The PC host utility for the Zuvedidude APRS digipeater. Without options it starts the console,\n"
        "which reads commands at the \"Command> \" prompt (type help there); see zuvdigi(1).",
        program_name};
    bool version = false;
    app.add_flag("--version", version, "Print the program's version and the device firmware it needs, and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out.put(app.help());
        return {start_action::done, 0};
    } catch (const CLI::ParseError& e) {
        err.print("%s: %s\n", program_name, e.what());
        err.put(usage_line);
        return {start_action::done, 2};
    }
    if (version) {
        print_version(out);
        return {start_action::done, 0};
    }
    return {};
}

}  // namespace zuv
