#pragma once
// The one text sink every part of the utility prints through: the console in
// the program, a string in the tests.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define ZUV_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define ZUV_PRINTF(fmt_index, first_arg)
#endif

namespace zuv {

class output {
public:
    virtual ~output() = default;
    virtual void write(const char* data, std::size_t len) = 0;

    void put(std::string_view text) { write(text.data(), text.size()); }
    // fmt is always one of the utility's own constant formats; operator text
    // reaches it only as an argument.
    void print(const char* fmt, ...) ZUV_PRINTF(2, 3);
};

// Writes straight through to a C stream (stdout or stderr, made unbuffered).
class file_output final : public output {
public:
    explicit file_output(std::FILE* fp) : fp_(fp) {}
    void write(const char* data, std::size_t len) override;

private:
    std::FILE* fp_;
};

// Collects everything printed, for tests.
class string_output final : public output {
public:
    void write(const char* data, std::size_t len) override { text.append(data, len); }
    std::string text;
};

}  // namespace zuv
