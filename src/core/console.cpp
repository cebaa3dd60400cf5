#include "core/console.h"

#include <cstring>

namespace zuv {

bool read_console_line(std::FILE* in, char* buf, std::size_t size) {
    if (size == 0) return false;
    buf[0] = '\0';
    if (in == nullptr || std::fgets(buf, static_cast<int>(size), in) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    const std::size_t len = std::strlen(buf);
    if (len >= 2 && buf[len - 2] == '\r' && buf[len - 1] == '\n') {
        buf[len - 2] = '\n';
        buf[len - 1] = '\0';
    }
    return true;
}

}  // namespace zuv
