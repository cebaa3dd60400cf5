#pragma once
// The configuration file reader: one keyword per line, every argument
// checked, and at the first fault one message naming the file, the line
// number and the whole line.

#include <array>
#include <cstdio>

#include "core/keyword.h"

namespace zuv {

struct config_state;
class arg_cursor;

extern const std::array<keyword_entry, 30> conf_keyword_table;

// Reads the configuration file named conf_fp into the working record.
//  0 read to its end     -1 no name         -2 cannot be opened or read
// -7 unknown or ambiguous keyword            -8 argument missing inside a comment; icon faults
// -11 argument missing at the end of the line, invalid, or a path edit refused
int conf_process(config_state& st, const char* conf_fp);

// The same over a file that is already open; file_name names it in the
// messages. Any bytes are safe: long lines, NUL bytes, bytes above 0x7F.
int conf_process_stream(config_state& st, std::FILE* conf_file, const char* file_name);

// The configure command: configure file_name.
void configure_command(config_state& st, arg_cursor& args);

}  // namespace zuv
