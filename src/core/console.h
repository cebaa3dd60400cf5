#pragma once
// Reading the operator's lines from the console.

#include <cstddef>
#include <cstdio>

namespace zuv {

// Reads one line of at most size - 1 characters into buf, its line feed
// included when it fits; a longer line stays in the input for the next read.
// A CR LF ending is read as LF, so a script written on Windows behaves the
// same everywhere. False at the end of input, with buf empty. While the
// interrupt key is caught, a key pressed during the read throws `interrupted`
// (whatever was typed is dropped).
bool read_console_line(std::FILE* in, char* buf, std::size_t size);

}  // namespace zuv
