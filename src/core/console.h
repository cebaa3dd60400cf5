#pragma once
// Reading the operator's lines from the console.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/output.h"

namespace zuv {

// Reads one line of at most size - 1 characters into buf, its line feed
// included when it fits; a longer line stays in the input for the next read.
// A CR LF ending is read as LF, so a script written on Windows behaves the
// same everywhere. False at the end of input, with buf empty. While the
// interrupt key is caught, a key pressed during the read throws `interrupted`
// (whatever was typed is dropped).
bool read_console_line(std::FILE* in, char* buf, std::size_t size);

// What a line is read for: a command line may be edited with the history of
// earlier commands and completion; an answer to a question is read alone.
enum class input_kind { answer, command };

// The console every command reads through: the command prompt and the
// questions of download and firmware. Each read shows prompt and then
// delivers one line with the rules of read_console_line, so a line longer
// than size - 1 characters arrives in pieces over several reads.
class console_input {
public:
    virtual ~console_input() = default;
    virtual bool read_line(std::string_view prompt, char* buf, std::size_t size, input_kind kind) = 0;
    bool read_line(std::string_view prompt, char* buf, std::size_t size) {
        return read_line(prompt, buf, size, input_kind::answer);
    }
};

// The console as a plain stream: the prompt is printed as it is and the line
// read as the stream delivers it, byte for byte.
class stdio_console final : public console_input {
public:
    stdio_console(std::FILE* in, output& out) : in_(in), out_(out) {}
    using console_input::read_line;
    bool read_line(std::string_view prompt, char* buf, std::size_t size, input_kind kind) override;

private:
    std::FILE* in_;
    output& out_;
};

// The rest of a line that an editor delivered whole, handed out in the pieces
// a stream read would give: at most size - 1 characters at a time, the line
// feed with the last piece when it fits.
class pending_line {
public:
    // Takes line (without its line feed) as the next one to hand out.
    void set(std::string_view line);
    bool empty() const { return next_ == text_.size(); }
    // Copies the next piece into buf; false when nothing is pending or there is no room.
    bool take(char* buf, std::size_t size);

private:
    std::string text_;
    std::size_t next_ = 0;
};

}  // namespace zuv
