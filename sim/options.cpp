#include "options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdlib>
#include <iostream>

namespace zuvsim {

namespace {

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char e = text[++i];
        if (e == 'r') out.push_back('\r');
        else if (e == 'n') out.push_back('\n');
        else if (e == 'x' && i + 2 < text.size() + 1) {
            out.push_back(static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16)));
            i += 2;
        } else out.push_back(e);
    }
    return out;
}

[[noreturn]] void usage_error(const CLI::App& app, const std::string& why) {
    std::cerr << "zuvsim: " << why << "\n" << app.help();
    std::exit(2);
}

std::string port_map_link(const CLI::App& app, int com) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string dir;
    if (xdg != nullptr && *xdg != '\0') dir = xdg;
    else if (home != nullptr && *home != '\0') dir = std::string(home) + "/.config";
    else usage_error(app, "no XDG_CONFIG_HOME or HOME for the port map; give --link");
    return dir + "/zuvdigi/com" + std::to_string(com);
}

// "N=HH": the N-th echo (from 1) is the byte 0xHH.
bool add_wrong_echo(const std::string& item, echo_options& echo) {
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos || eq == 0 || item.size() != eq + 3) return false;
    char* end = nullptr;
    const long n = std::strtol(item.c_str(), &end, 10);
    if (end != item.c_str() + eq || n < 1) return false;
    const long byte = std::strtol(item.c_str() + eq + 1, &end, 16);
    if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(item[eq + 1]))) return false;
    echo.wrong[n] = static_cast<unsigned char>(byte);
    return true;
}

loader_step step_named(const std::string& name) {
    if (name == "reset") return loader_step::reset;
    if (name == "prompt") return loader_step::prompt;
    if (name == "sync") return loader_step::sync;
    if (name == "id") return loader_step::id;
    return loader_step::none;
}

struct raw_options {
    int com = 1;
    std::string banner, dl_script, bl_script, hang_up_at;
    std::vector<std::string> echo_wrong;
    int split_ms = 0;
};

// One option with a value: its name, where it goes, the value's name in the
// usage, what it does, and the validator its value must pass, if any.
template <typename T>
void value(CLI::App& app, const char* group, const char* name, T& target, const char* meta, const char* help,
           const CLI::Validator* check = nullptr) {
    CLI::Option* o = app.add_option(name, target, help)->type_name(meta)->group(group);
    if (check != nullptr) o->check(CLI::Validator(*check).description(""));
}

void flag(CLI::App& app, const char* group, const char* name, bool& target, const char* help) {
    app.add_flag(name, target, help)->group(group);
}

const CLI::Validator com_range = CLI::Range(1, 99);
const CLI::Validator loader_steps = CLI::IsMember({"reset", "prompt", "sync", "id"});

void add_port_options(CLI::App& app, sim_config& cfg, raw_options& raw) {
    const char* g = "Port and records";
    value(app, g, "--com", raw.com, "N", "publish the port as comN in the port map (default 1)", &com_range);
    value(app, g, "--link", cfg.link, "PATH", "publish the port at PATH instead");
    value(app, g, "--log", cfg.log_path, "FILE", "write every byte received to FILE");
    value(app, g, "--trace", cfg.trace_path, "FILE", "write one line per event to FILE");
    value(app, g, "--lifetime", cfg.lifetime_s, "SECONDS", "end after SECONDS (default: when stopped)",
          &CLI::NonNegativeNumber);
    flag(app, g, "--hold", cfg.hold, "hold the port open and locked, as another program would");
    flag(app, g, "--share", cfg.share, "let any user open the port");
    value(app, g, "--received", cfg.received_dir, "DIR",
          "record a finished download in DIR: conf.bin, rules.bin, then received.txt");
    value(app, g, "--image", cfg.image_dir, "DIR", "record a boot loader session in DIR: image.bin, then records.txt");
}

void add_device_options(CLI::App& app, device_options& dev, raw_options& raw) {
    const char* g = "Device";
    value(app, g, "--rate", dev.rate, "R", "the rate the device starts at (default 19200)", &CLI::PositiveNumber);
    value(app, g, "--product", dev.product, "NAME", "the product name in the version answer");
    value(app, g, "--version", dev.version, "TEXT", "the version in the version answer");
    value(app, g, "--banner", raw.banner, "TEXT",
          "the whole answer to \"version\"; takes \\r, \\n, \\\\ and \\xHH escapes");
    flag(app, g, "--silent", dev.silent, "never answer");
    flag(app, g, "--chatter", dev.chatter, "talk without pause until interrupted by 0x03");
    flag(app, g, "--chatter-forever", dev.chatter_forever, "talk without pause whatever comes");
    flag(app, g, "--no-prompt-after-rate", dev.no_prompt_after_rate, "say nothing more after a rate change");
    flag(app, g, "--nul", dev.nul_after_every_byte, "send a NUL byte after every byte of an answer");
    flag(app, g, "--vanish-on-version", dev.vanish_on_version, "hang up when asked for the version");
}

void add_mode_options(CLI::App& app, device_options& dev, raw_options& raw) {
    const char* d = "Download receiver";
    value(app, d, "--dl-script", raw.dl_script, "SCRIPT",
          "K:ACTION,... for packet K from 1: nakN, byte=HH[HH...], nul, silent, hangup");
    const char* e = "Echo test";
    value(app, e, "--echo-wrong", raw.echo_wrong, "N=HH", "the echo of the N-th byte is 0xHH (repeatable)");
    value(app, e, "--echo-silent-after", dev.echo.silent_after, "N", "echo N bytes, then say nothing more",
          &CLI::NonNegativeNumber);
    flag(app, e, "--echo-no-announce", dev.echo.no_announce, "start echoing without the announcement");
    value(app, e, "--echo-hangup-after", dev.echo.hang_up_after, "N", "hang up after echoing N bytes",
          &CLI::NonNegativeNumber);
    const char* b = "Boot loader";
    value(app, b, "--bl-script", raw.bl_script, "SCRIPT",
          "K:ACTION,... for record K from 1: CODExN, CODE[CODE...], silent, hangup");
    flag(app, b, "--bl-no-prompt", dev.loader.no_prompt, "never send ENQ");
    flag(app, b, "--bl-no-sync-ack", dev.loader.no_sync_ack, "no ACK to SYN");
    flag(app, b, "--bl-no-id-ack", dev.loader.no_id_ack, "no ACK to the identifier");
    value(app, b, "--bl-hangup-at", raw.hang_up_at, "STEP", "hang up at STEP: reset, prompt, sync or id",
          &loader_steps);
}

void add_line_options(CLI::App& app, sim_config& cfg, raw_options& raw) {
    const char* g = "Line and faults";
    flag(app, g, "--pace", cfg.line.pace, "every byte takes 10 bit times at the device's rate");
    value(app, g, "--split-replies", raw.split_ms, "MS", "send every reply one byte at a time, MS ms apart",
          &CLI::NonNegativeNumber);
    flag(app, g, "--nul-storm", cfg.line.nul_storm, "a NUL after every byte sent, and NUL bursts when idle");
    value(app, g, "--hangup-after-rx", cfg.device.hang_up_after_rx, "N",
          "hang up once N bytes in all have been received", &CLI::PositiveNumber);
}

void apply_raw(const CLI::App& app, const raw_options& raw, sim_config& cfg) {
    std::string error;
    if (!raw.banner.empty()) cfg.device.banner = unescape(raw.banner);
    if (app.count("--dl-script") > 0) {
        auto script = parse_download_script(raw.dl_script, error);
        if (!script) usage_error(app, "--dl-script: " + error);
        cfg.device.download.script = *script;
    }
    if (app.count("--bl-script") > 0) {
        auto script = parse_loader_script(raw.bl_script, error);
        if (!script) usage_error(app, "--bl-script: " + error);
        cfg.device.loader.script = *script;
    }
    for (const std::string& w : raw.echo_wrong)
        if (!add_wrong_echo(w, cfg.device.echo)) usage_error(app, "--echo-wrong wants N=HH, not " + w);
    cfg.device.loader.hang_up_at = step_named(raw.hang_up_at);
    cfg.line.split_gap = milliseconds(raw.split_ms);
    if (cfg.link.empty()) cfg.link = port_map_link(app, raw.com);
}

}  // namespace

sim_config parse_options(int argc, char** argv) {
    sim_config cfg;
    raw_options raw;
    CLI::App app{"zuvsim: the emulated Zuvedidude on a pseudo-terminal", "zuvsim"};
    add_port_options(app, cfg, raw);
    add_device_options(app, cfg.device, raw);
    add_mode_options(app, cfg.device, raw);
    add_line_options(app, cfg, raw);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        std::exit(0);
    } catch (const CLI::ParseError& e) {
        usage_error(app, e.what());
    }
    apply_raw(app, raw, cfg);
    return cfg;
}

}  // namespace zuvsim
