// The ports on Linux: the port map's comN entries, the USB adapters under
// /dev/serial/by-id, and the built-in UARTs. The kernel makes a ttyS node for
// every UART the driver could have; only those whose type is known are real.
// Names are shown through visible(): a USB device names itself.

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/visible.h"
#include "serial/port_list.h"

namespace zuv {

namespace {

enum class target_state { device, missing, not_device };

struct map_entry {
    int number;
    std::string shown_target;  // what the link says, or the entry itself when it is no link
    std::string resolved;      // the node it leads to, empty when it leads nowhere
    target_state state;
};

struct serial_device {
    std::string name;      // as the operator would write it in a link
    std::string node;      // the /dev/tty* node it is
    int builtin_com = 0;   // n for /dev/ttyS(n-1), else 0
};

std::optional<std::string> link_text(const std::string& path) {
    std::array<char, PATH_MAX> buf{};
    const ssize_t n = readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) return std::nullopt;
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string resolved_path(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return {};
    std::string text(real);
    std::free(real);
    return text;
}

std::optional<map_entry> read_map_entry(const std::string& dir, int n) {
    const std::string path = dir + "/com" + std::to_string(n);
    struct stat sb {};
    if (lstat(path.c_str(), &sb) != 0) return std::nullopt;
    map_entry e{n, link_text(path).value_or(path), resolved_path(path), target_state::missing};
    if (stat(path.c_str(), &sb) == 0) e.state = S_ISCHR(sb.st_mode) ? target_state::device : target_state::not_device;
    return e;
}

std::vector<map_entry> read_port_map(const std::string& dir) {
    std::vector<map_entry> entries;
    if (dir.empty()) return entries;
    for (int n = 1; n <= max_com_number; ++n)
        if (auto e = read_map_entry(dir, n)) entries.push_back(*e);
    return entries;
}

std::vector<std::string> folder_names(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// k of a name ttySk, or none.
std::optional<int> builtin_index(const std::string& name) {
    if (name.size() < 5 || name.compare(0, 4, "ttyS") != 0 || name.size() > 8) return std::nullopt;
    int k = 0;
    for (std::size_t i = 4; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        k = k * 10 + (name[i] - '0');
    }
    return k;
}

// The kernel's word on the UART behind a ttyS node: sysfs first, which any
// user may read and which leaves the modem lines alone; else the node itself.
bool is_real_uart(const std::string& node, const std::string& sys_type) {
    std::ifstream type_file(sys_type);
    int type = -1;
    if (type_file >> type) return type != PORT_UNKNOWN;
    const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return known;
}

std::vector<serial_device> find_devices(const port_places& places) {
    std::vector<serial_device> devices;
    for (const std::string& name : folder_names(places.by_id_dir)) {
        const std::string path = places.by_id_dir + "/" + name;
        std::string node = resolved_path(path);
        if (!node.empty()) devices.push_back({path, node, 0});
    }
    std::vector<std::pair<int, std::string>> builtin;
    for (const std::string& name : folder_names(places.dev_dir)) {
        const auto k = builtin_index(name);
        if (!k) continue;
        const std::string node = places.dev_dir + "/" + name;
        if (is_real_uart(node, places.sys_tty_dir + "/" + name + "/type")) builtin.emplace_back(*k, node);
    }
    std::sort(builtin.begin(), builtin.end());
    for (const auto& [k, node] : builtin) devices.push_back({node, resolved_path(node), k < max_com_number ? k + 1 : 0});
    return devices;
}

// dir with the home folder written as ~, as the operator would type it.
std::string shown_dir(const port_places& places) {
    const std::string& home = places.home;
    if (!home.empty() && places.map_dir.compare(0, home.size() + 1, home + "/") == 0)
        return "~" + places.map_dir.substr(home.size());
    return places.map_dir;
}

// The name as one shell word.
std::string shell_word(const std::string& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/._-+:,=@%~").find(c) != std::string_view::npos;
    });
    if (plain && !text.empty()) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

const char* state_text(target_state s) {
    switch (s) {
    case target_state::device: return "present";
    case target_state::missing: return "missing";
    case target_state::not_device: return "not a serial device";
    }
    return "";
}

struct port_listing {
    const port_places& places;
    std::vector<map_entry> map;
    std::vector<serial_device> devices;
    std::vector<int> taken;  // COM numbers in use, by an entry or a built-in port

    bool has_entry(int n) const {
        return std::any_of(map.begin(), map.end(), [n](const map_entry& e) { return e.number == n; });
    }

    // The COM number that reaches d, or 0.
    int com_of(const serial_device& d) const {
        for (const map_entry& e : map)
            if (!e.resolved.empty() && e.resolved == d.node) return e.number;
        if (d.builtin_com != 0 && !has_entry(d.builtin_com)) return d.builtin_com;
        return 0;
    }

    int take_free_number() {
        for (int n = 1; n <= max_com_number; ++n) {
            if (std::find(taken.begin(), taken.end(), n) != taken.end()) continue;
            taken.push_back(n);
            return n;
        }
        return 0;
    }
};

void print_map(output& out, const port_listing& l, bool folder_exists) {
    const std::string dir = shown_dir(l.places);
    if (l.places.map_dir.empty()) {
        out.put("Port map: none (neither XDG_CONFIG_HOME nor HOME is set)\n");
        return;
    }
    if (l.map.empty()) {
        out.print("Port map %s: %s\n", visible(out, dir).c_str(), folder_exists ? "no entries" : "no such folder");
        return;
    }
    out.print("Port map %s:\n", visible(out, dir).c_str());
    for (const map_entry& e : l.map) {
        out.print("  COM%d -> %s", e.number, visible(out, e.shown_target).c_str());
        if (!e.resolved.empty() && e.resolved != e.shown_target) out.print(" (%s)", visible(out, e.resolved).c_str());
        out.print(": %s\n", state_text(e.state));
    }
}

void print_how_to_map(output& out, port_listing& l, const serial_device& d, bool& folder_exists) {
    if (l.places.map_dir.empty()) {
        out.put(": no COM number reaches it, and there is no port map to add one to\n");
        return;
    }
    const int n = l.take_free_number();
    if (n == 0) {
        out.print(": no COM number reaches it, and all %d are taken\n", max_com_number);
        return;
    }
    out.print(": no COM number reaches it; to use it as COM%d:\n", n);
    const std::string dir = shell_word(shown_dir(l.places));
    if (!folder_exists) {
        out.print("    mkdir -p %s\n", visible(out, dir).c_str());
        folder_exists = true;
    }
    out.print("    ln -s %s %s/com%d\n", visible(out, shell_word(d.name)).c_str(), visible(out, dir).c_str(), n);
}

void print_devices(output& out, port_listing& l, bool folder_exists) {
    if (l.devices.empty()) {
        out.put("Serial devices: none found\n");
        return;
    }
    out.put("Serial devices:\n");
    for (const serial_device& d : l.devices) {
        out.print("  %s", visible(out, d.name).c_str());
        if (d.node != d.name) out.print(" -> %s", visible(out, d.node).c_str());
        if (const int n = l.com_of(d); n != 0) {
            out.print(": COM%d%s\n", n, n == d.builtin_com && !l.has_entry(n) ? " (built in)" : "");
        } else {
            print_how_to_map(out, l, d, folder_exists);
        }
    }
}

}  // namespace

std::string port_map_dir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/zuvdigi";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.config/zuvdigi";
    return {};
}

port_places system_port_places() {
    port_places places;
    places.map_dir = port_map_dir();
    if (const char* home = std::getenv("HOME"); home != nullptr) places.home = home;
    return places;
}

void list_ports(output& out, const port_places& places) {
    port_listing l{places, read_port_map(places.map_dir), find_devices(places), {}};
    for (const map_entry& e : l.map) l.taken.push_back(e.number);
    for (const serial_device& d : l.devices)
        if (d.builtin_com != 0) l.taken.push_back(d.builtin_com);
    struct stat sb {};
    bool folder_exists = !places.map_dir.empty() && stat(places.map_dir.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
    print_map(out, l, folder_exists);
    print_devices(out, l, folder_exists);
}

void list_ports(output& out) { list_ports(out, system_port_places()); }

}  // namespace zuv
