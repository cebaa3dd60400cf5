// Any bytes as the console: the shell's own loop over a fresh app_state, fed
// through the stdio console, with every command that needs no device. A line
// whose command word names any other command is held back before the loop
// sees it, so no port is ever opened; a line holding '/' is held back too, so
// a file name can only name a file of the temporary folder the fuzzer runs
// in, which holds copies of the example files and the golden fixtures.
//
// The fuzzer changes its working folder: run it by hand with an absolute
// -artifact_prefix (the CTest run does), or a crash input lands in that folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "core/args.h"
#include "core/console.h"
#include "core/output.h"
#include "shell/commands.h"
#include "shell/shell.h"
#include "shell/state.h"

#include "memory_file.h"

namespace {

namespace fs = std::filesystem;

// The commands that run here; anything else, including a command added
// later, is held back until it is known to need no port.
bool needs_no_device(zuv::keyword_code code) {
    switch (code) {
    case zuv::kw_help:
    case zuv::kw_repeat:
    case zuv::kw_angles:
    case zuv::kw_configure:
    case zuv::kw_dconfigure:
    case zuv::kw_rules:
    case zuv::kw_drules:
    case zuv::kw_deditpath:
    case zuv::kw_disconnect:  // refused: nothing is connected
    case zuv::kw_exit: return true;
    default: return false;
    }
}

// Whether the loop may see this piece of a line, read as the loop reads it.
// A '.' line repeats an earlier line, and the loop saw that one already.
bool may_run(const char* piece) {
    std::string_view line(piece);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (line.empty() || line[0] == '.') return true;
    if (line.find('/') != std::string_view::npos) return false;
    zuv::arg_cursor args(line);
    const auto word = args.next(zuv::number_separators);
    if (!word) return true;
    const zuv::command_lookup hit = zuv::find_command(*word);
    return hit.status != zuv::lookup_status::found || needs_no_device(hit.entry->code);
}

class device_free_console final : public zuv::console_input {
public:
    explicit device_free_console(zuv::console_input& inner) : inner_(inner) {}
    using console_input::read_line;
    bool read_line(std::string_view prompt, char* buf, std::size_t size, zuv::input_kind kind) override {
        if (kind != zuv::input_kind::command) std::abort();  // only a device command asks questions
        std::string_view shown = prompt;
        for (;;) {
            if (!inner_.read_line(shown, buf, size, kind)) return false;
            if (std::strlen(buf) >= size) std::abort();
            if (may_run(buf)) return true;
            shown = {};
        }
    }

private:
    zuv::console_input& inner_;
};

bool is_fixture(const fs::path& file) {
    static constexpr std::string_view transcript_parts[] = {".in", ".out", ".rc", ".args", ".err"};
    for (const std::string_view ext : transcript_parts)
        if (file.extension() == ext) return false;
    return true;
}

void copy_fixtures(const fs::path& from, const fs::path& to) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(from)) {
        if (!e.is_regular_file() || !is_fixture(e.path())) continue;
        fs::copy_file(e.path(), to / e.path().filename(), fs::copy_options::overwrite_existing);
    }
}

fs::path work_dir;

void remove_work_dir() {
    std::error_code ignored;
    fs::remove_all(work_dir, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "zuv_fuzz_shell_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    work_dir = pattern;
    std::atexit(remove_work_dir);
    const std::string dirs = ZUV_FUZZ_FIXTURE_DIRS;
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        copy_fixtures(dirs.substr(at, end - at), work_dir);
        at = end + 1;
    }
    fs::current_path(work_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuv::fuzz::memory_file file(data, size);
    if (file.get() == nullptr) return 0;
    zuv::string_output out;
    zuv::string_output err;
    zuv::stdio_console console(file.get(), out);
    device_free_console device_free(console);
    zuv::app_state st(device_free, out, err);
    const int status = zuv::run_shell(st);
    if (status != 0 && status != 1) std::abort();
    if (st.link.connected == 1 || !err.text.empty()) std::abort();
    return 0;
}
