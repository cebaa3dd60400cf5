// Line editing with libedit's readline interface. libedit keeps its line,
// its history and its completion hooks in library globals; this file is the
// only one that touches them, and the completion hooks read nothing but the
// line being edited and the constant command table.

#include <dirent.h>
#include <editline/readline.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/args.h"
#include "core/keyword.h"
#include "shell/commands.h"
#include "shell/line_editor.h"

namespace zuv {

namespace {

// Commands worth keeping; the oldest go first.
constexpr int history_limit = 1000;

// ${XDG_STATE_HOME:-$HOME/.local/state}/zuvdigi/history, or empty.
std::string history_path() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state != '\0') return std::string(state) + "/zuvdigi/history";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.local/state/zuvdigi/history";
    return {};
}

// mkdir -p of the folder that holds path; the history is the operator's own.
void make_parent_folders(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string dir = path.substr(0, at);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

// A list of matches as readline takes it: the common start first, then each
// match, then a null; every text from malloc, freed by the library.
char** match_list(const std::vector<std::string>& matches) {
    if (matches.empty()) return nullptr;
    std::string common = matches.front();
    for (const std::string& m : matches) {
        std::size_t n = 0;
        while (n < common.size() && n < m.size() && common[n] == m[n]) ++n;
        common.resize(n);
    }
    auto** list = static_cast<char**>(std::calloc(matches.size() + 2, sizeof(char*)));
    if (list == nullptr) return nullptr;
    list[0] = strdup(common.c_str());
    for (std::size_t i = 0; i < matches.size(); ++i) list[i + 1] = strdup(matches[i].c_str());
    return list;
}

std::vector<std::string> command_words(std::string_view typed) {
    std::vector<std::string> words;
    for (const command_entry& row : command_table)
        if (keyword_prefix_match(typed, row.name)) words.emplace_back(row.name);
    return words;
}

bool is_folder(const std::string& path) {
    struct stat sb {};
    return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

// The names that complete the file name typed so far; a folder ends in '/'.
std::vector<std::string> file_names(const std::string& typed) {
    const std::size_t slash = typed.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : typed.substr(0, slash + 1);
    const std::string start = typed.substr(folder.size());
    std::vector<std::string> names;
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (d == nullptr) return names;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || name.compare(0, start.size(), start) != 0) continue;
        if (name[0] == '.' && (start.empty() || start[0] != '.')) continue;
        const std::string path = folder + name;
        names.push_back(is_folder(path) ? path + "/" : path);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// The file name typed so far when the cursor stands in the file-name
// argument of configure, rules or firmware, read as the shell will read it.
std::optional<std::string> typed_file_name(std::string_view before_cursor) {
    arg_cursor args(before_cursor);
    const auto word = args.next(number_separators);
    if (!word) return std::nullopt;
    const command_lookup hit = find_command(*word);
    if (hit.status != lookup_status::found) return std::nullopt;
    const keyword_code code = hit.entry->code;
    if (code != kw_configure && code != kw_rules && code != kw_firmware) return std::nullopt;
    if (code == kw_firmware && !args.next_number()) return std::nullopt;
    return std::string(args.next_file_name().value_or(std::string_view{}));
}

// The completions of a file name, each as the text that replaces the word
// being completed, which is the end of the name.
char** complete_file_name(const std::string& typed, std::string_view word) {
    if (typed.size() < word.size() || typed.compare(typed.size() - word.size(), word.size(), word) != 0)
        return nullptr;
    const std::size_t kept = typed.size() - word.size();
    std::vector<std::string> matches = file_names(typed);
    for (std::string& m : matches) m.erase(0, kept);
    // A blank after a name would become part of it.
    rl_completion_append_character = '\0';
    return match_list(matches);
}

char** complete(const char* text, int start, int end) {
    rl_attempted_completion_over = 1;  // nothing but what is offered here
    const std::string_view line(rl_line_buffer, static_cast<std::size_t>(std::max(rl_point, end)));
    const std::string_view before_word = line.substr(0, static_cast<std::size_t>(start));
    if (before_word.find_first_not_of(number_separators) == std::string_view::npos) {
        rl_completion_append_character = ' ';
        return match_list(command_words(text));
    }
    const auto typed = typed_file_name(line.substr(0, static_cast<std::size_t>(end)));
    if (!typed) return nullptr;
    return complete_file_name(*typed, text);
}

class line_editor final : public console_input {
public:
    line_editor(std::FILE* in, std::FILE* out_fp, output& out) : out_(out), history_file_(history_path()) {
        rl_readline_name = "zuvdigi";
        rl_instream = in;
        rl_outstream = out_fp;
        rl_attempted_completion_function = complete;
        rl_completer_word_break_characters = word_breaks_.data();
        rl_basic_word_break_characters = word_breaks_.c_str();
        using_history();
        stifle_history(history_limit);
        if (!history_file_.empty()) read_history(history_file_.c_str());
    }

    using console_input::read_line;
    bool read_line(std::string_view prompt, char* buf, std::size_t size, input_kind kind) override {
        // The rest of a long line arrives as a stream read would deliver it.
        if (!pending_.empty()) {
            out_.put(prompt);
            return pending_.take(buf, size);
        }
        // The question's earlier lines are printed; its last line is the
        // editor's prompt, which it redraws with the line.
        const std::size_t last_line = prompt.rfind('\n') + 1;  // 0 when there is no line break
        out_.put(prompt.substr(0, last_line));
        const std::string editor_prompt(prompt.substr(last_line));
        char* line = kind == input_kind::command ? readline(editor_prompt.c_str()) : read_answer(editor_prompt);
        if (line == nullptr) {
            if (size > 0) buf[0] = '\0';
            return false;
        }
        if (kind == input_kind::command) remember(line);
        pending_.set(line);
        std::free(line);
        return pending_.take(buf, size);
    }

private:
    // An answer is edited alone: Up does not offer the commands, Tab does
    // not complete, and the commands come back afterwards.
    static char* read_answer(const std::string& prompt) {
        std::vector<std::string> commands;
        for (int i = 0; i < history_length; ++i) {
            const HIST_ENTRY* e = history_get(history_base + i);
            if (e != nullptr && e->line != nullptr) commands.emplace_back(e->line);
        }
        clear_history();
        rl_inhibit_completion = 1;
        char* line = readline(prompt.c_str());
        rl_inhibit_completion = 0;
        clear_history();
        for (const std::string& c : commands) add_history(c.c_str());
        return line;
    }

    // Each command reaches the history file at once, so a killed run keeps it.
    void remember(const char* line) {
        if (*line == '\0') return;
        const HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
        if (last != nullptr && last->line != nullptr && std::strcmp(last->line, line) == 0) return;
        add_history(line);
        if (history_file_.empty()) return;
        make_parent_folders(history_file_);
        write_history(history_file_.c_str());
    }

    output& out_;
    std::string history_file_;
    std::string word_breaks_ = " \t,";  // the shell's own separators
    pending_line pending_;
};

}  // namespace

std::unique_ptr<console_input> make_line_editor(std::FILE* in, std::FILE* out_fp, output& out) {
    if (in == nullptr || out_fp == nullptr || !isatty(fileno(in)) || !isatty(fileno(out_fp))) return nullptr;
    return std::make_unique<line_editor>(in, out_fp, out);
}

}  // namespace zuv
