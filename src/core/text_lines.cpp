#include "core/text_lines.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace zuv {

namespace {

int next_byte(text_line_source& src) {
    if (src.pending_count > 0) {
        const int c = src.pending[0];
        src.pending[0] = src.pending[1];
        --src.pending_count;
        return c;
    }
    return std::getc(src.fp);
}

void push_back(text_line_source& src, int c) {
    if (c != EOF) src.pending[src.pending_count++] = c;
}

// What follows a full piece. Only a bare LF leaves a CR
// that is the line's own last character to the terminator; after CR LF that
// CR is text.
enum class line_end { none, lf, cr_lf };

// Takes a line end that directly follows a full line, so that it does not
// come back as an empty line of its own; anything else is kept for the next
// read.
line_end take_line_end(text_line_source& src) {
    const int c = next_byte(src);
    if (c == '\n') return line_end::lf;
    if (c == '\r') {
        const int after = next_byte(src);
        if (after == '\n') return line_end::cr_lf;
        push_back(src, c);
        push_back(src, after);
        return line_end::none;
    }
    push_back(src, c);
    return line_end::none;
}

}  // namespace

line_read read_text_line(text_line_source& src, std::string_view& text) {
    std::size_t len = 0;
    bool ended = false;
    line_end end = line_end::none;
    const std::size_t max = std::clamp<std::size_t>(src.piece_max, 1, long_text_line_max);
    while (!ended && len < max) {
        const int c = next_byte(src);
        if (c == EOF) break;
        if (c == '\n') {
            ended = true;
            end = line_end::lf;
        } else {
            src.line[len++] = static_cast<char>(c);
        }
    }
    if (!ended && len == max) {
        end = take_line_end(src);
        ended = end != line_end::none;
    }
    if (std::ferror(src.fp)) return line_read::failed;
    if (len == 0 && !ended) return line_read::end;
    if (end == line_end::lf && len > 0 && src.line[len - 1] == '\r') --len;
    src.line[len] = '\0';
    text = std::string_view(src.line, len);
    text = text.substr(0, text.find('\0'));
    return line_read::line;
}

namespace {

#if defined(_WIN32)
bool is_regular(int fd) {
    struct _stat64 sb {};
    return _fstat64(fd, &sb) == 0 && (sb.st_mode & _S_IFMT) == _S_IFREG;
}

// A device name (CON, NUL, COM1) is no file: it is refused before it is
// opened, since opening a port or the console already acts on it.
std::FILE* open_regular(const char* name) {
    struct _stat64 sb {};
    if (_stat64(name, &sb) != 0 || (sb.st_mode & _S_IFMT) != _S_IFREG) return nullptr;
    std::FILE* fp = std::fopen(name, "r");
    if (fp != nullptr && !is_regular(_fileno(fp))) {
        std::fclose(fp);
        return nullptr;
    }
    return fp;
}
#else
// Anything but a regular file is refused before it is opened: a FIFO would
// block the open, a terminal would change its modem lines, and /dev/zero
// never ends. The open does not block and is checked again, in case the name
// was replaced in between.
std::FILE* open_regular(const char* name) {
    struct stat sb {};
    if (stat(name, &sb) != 0 || !S_ISREG(sb.st_mode)) return nullptr;
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* fp = fdopen(fd, "r");
    if (fp == nullptr) close(fd);
    return fp;
}
#endif

}  // namespace

std::FILE* open_text_file(const char* name) {
    if (name == nullptr) return nullptr;
    std::FILE* fp = open_regular(name);
    if (fp == nullptr) return nullptr;
    const int first = std::getc(fp);
    if (std::ferror(fp)) {
        std::fclose(fp);
        return nullptr;
    }
    if (first != EOF) std::ungetc(first, fp);
    return fp;
}

}  // namespace zuv
