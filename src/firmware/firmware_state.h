#pragma once
// What the firmware subsystem keeps for the length of a run: the file name
// the command was given, and the clock the progress line measures with.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>

namespace zuv {

inline constexpr std::size_t fw_filename_size = 256;

// The calendar clock in whole seconds.
inline std::int64_t calendar_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

struct firmware_state {
    // The file name argument, copied out of the command line before the
    // confirmation question reads the console.
    char fw_filename[fw_filename_size]{};
    // Replaceable, so that the progress line can be checked to the character.
    std::function<std::int64_t()> clock = calendar_seconds;
    std::int64_t start_time = 0;  // when the first record line was read
};

}  // namespace zuv
