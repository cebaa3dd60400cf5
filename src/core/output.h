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
    // True when what is written reaches a terminal, where control bytes
    // from a file could act instead of being shown.
    virtual bool is_terminal() const { return false; }

    void put(std::string_view text) { write(text.data(), text.size()); }
    // fmt is always one of the utility's own constant formats; operator text
    // reaches it only as an argument.
    void print(const char* fmt, ...) ZUV_PRINTF(2, 3);
};

// Writes straight through to a C stream (stdout or stderr, made unbuffered).
class file_output final : public output {
public:
    explicit file_output(std::FILE* fp);
    void write(const char* data, std::size_t len) override;
    bool is_terminal() const override { return terminal_; }

private:
    std::FILE* fp_;
    bool terminal_;
};

// Collects everything printed, for tests.
class string_output final : public output {
public:
    void write(const char* data, std::size_t len) override { text.append(data, len); }
    bool is_terminal() const override { return terminal; }
    std::string text;
    bool terminal = false;  // what a test pretends the sink is
};

}  // namespace zuv
