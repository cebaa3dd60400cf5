#pragma once
// Which serial ports the console can reach, for the operator who does not
// know which COM number an adapter got.

#include <string>

#include "core/output.h"

namespace zuv {

// The COM numbers the console takes.
inline constexpr int max_com_number = 20;

// Prints the ports: on Linux the port map's entries with their targets and
// whether each is there, then the serial devices present, each one that no
// COM number reaches with the command that maps it; on Windows COM1 to COM20
// as the system knows them, with their friendly names.
void list_ports(output& out);

#if !defined(_WIN32)
// Where the POSIX side looks; tests point it at folders of their own.
struct port_places {
    std::string map_dir;  // the port map; empty when neither XDG_CONFIG_HOME nor HOME is set
    std::string home;     // written as ~ in the commands shown
    std::string by_id_dir = "/dev/serial/by-id";
    std::string dev_dir = "/dev";
    std::string sys_tty_dir = "/sys/class/tty";
};

// ${XDG_CONFIG_HOME:-$HOME/.config}/zuvdigi, or empty without either.
std::string port_map_dir();

port_places system_port_places();

void list_ports(output& out, const port_places& places);
#endif

}  // namespace zuv
