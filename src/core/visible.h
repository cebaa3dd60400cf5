#pragma once
// Text that came from a file (a line, a token, a name) on its way into a
// message. At a terminal its control bytes are shown instead of sent, so a
// file cannot retitle the window, move the cursor or rewrite the screen;
// anywhere else every byte stays as it is.

#include <string>
#include <string_view>

#include "core/output.h"

namespace zuv {

// At a terminal: ESC as ^[, any other byte below 0x20 but tab as ^ and its
// letter (^G, ^M), 0x7F as ^?, bytes from 0x80 up as \xHH. Elsewhere text
// as it is (up to its first NUL byte, as %s would take it).
std::string visible(const output& out, std::string_view text);

// Writes text itself: shown as above at a terminal, else every byte as it
// is, a NUL byte included.
void put_visible(output& out, std::string_view text);

}  // namespace zuv
