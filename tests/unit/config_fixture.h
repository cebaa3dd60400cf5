#pragma once
// Helpers for the configuration tests: a configuration file given as text,
// read through the same core as a file on disk.

#include <cstdio>
#include <cstring>
#include <string>

#include "config/conf_line.h"
#include "config/conf_reader.h"
#include "config/path_edit.h"
#include "test_state.h"

namespace zuv::testing {

inline constexpr const char* test_file_name = "t.cfg";

// Reads text as the configuration file t.cfg.
inline int load_text(console_fixture& con, std::string text) {
    std::FILE* fp = text.empty() ? std::tmpfile() : fmemopen(text.data(), text.size(), "r");
    const int rc = conf_process_stream(con.st().config, fp, test_file_name);
    std::fclose(fp);
    return rc;
}

// The message prefix of the reader for line n of t.cfg.
inline std::string at_line(int n) { return "\a\aError: t.cfg[" + std::to_string(n) + "]: "; }

// Hands one path-edit line to path_edit_add as the reader would: the
// keyword is cut off and the rest of the working line is passed on.
inline int add_path_edit_line(console_fixture& con, conf_line_context& ctx, const std::string& line) {
    ctx.file_name = test_file_name;
    conf_line_begin(ctx, line);
    char* rest = ctx.work;
    const char* word = next_token(rest, " \t,", &rest);
    const int code = std::strncmp(word, "sub", 3) == 0 ? 46 : 47;
    return path_edit_add(con.st().config, ctx, code, word, rest);
}

}  // namespace zuv::testing
