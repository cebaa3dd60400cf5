#pragma once
// A stream that gives a text and then fails with a read error instead of
// reaching its end, as a file on a failing disk or a dropped share does.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/types.h>

namespace zuv::testing {

namespace failing_stream_detail {

struct cookie {
    std::string text;
    std::size_t pos = 0;
};

inline ssize_t read(void* c, char* buf, std::size_t size) {
    auto& ck = *static_cast<cookie*>(c);
    if (ck.pos == ck.text.size()) {
        errno = EIO;
        return -1;
    }
    const std::size_t n = std::min(size, ck.text.size() - ck.pos);
    std::memcpy(buf, ck.text.data() + ck.pos, n);
    ck.pos += n;
    return static_cast<ssize_t>(n);
}

inline int close(void* c) {
    delete static_cast<cookie*>(c);
    return 0;
}

}  // namespace failing_stream_detail

// Opens a stream that reads text and then fails; close it with fclose.
inline std::FILE* failing_stream(const std::string& text) {
    auto* ck = new failing_stream_detail::cookie{text};
    cookie_io_functions_t io{};
    io.read = failing_stream_detail::read;
    io.close = failing_stream_detail::close;
    std::FILE* fp = fopencookie(ck, "r", io);
    if (fp == nullptr) delete ck;
    return fp;
}

}  // namespace zuv::testing
