#pragma once
// Reading a text file line by line, the one way both file readers do it, so
// that a file gives the same lines and line numbers in every message.

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace zuv {

// In both files these characters start a comment.
inline constexpr std::string_view comment_chars = "#/;";

// One read of a configuration or rules file takes at most 255 characters;
// with its terminating zero 256.
inline constexpr std::size_t text_line_size = 256;
inline constexpr std::size_t text_line_max = text_line_size - 1;

// A firmware file is read in pieces of up to 511 characters.
inline constexpr std::size_t long_text_line_max = 511;

// An open text file being read: the line read last, and the few bytes looked
// at past a full line, kept for the next read. piece_max is the most
// characters one read delivers.
struct text_line_source {
    std::FILE* fp;
    std::size_t piece_max = text_line_max;
    char line[long_text_line_max + 1]{};  // zero-terminated after the text of the line
    int pending[2]{};
    int pending_count = 0;
};

enum class line_read { line, end, failed };

// Reads the next line of src into src.line and points text at it.
// - A line ends at LF; a CR directly before the LF belongs to the terminator.
// - A longer line is read in pieces of piece_max characters, each a line of
//   its own; a line of exactly piece_max characters followed by its LF or
//   CR LF is one line, not two.
// - A NUL byte ends the text; the rest of that piece is dropped.
// - A last line without LF is read to its last character.
// line_read::failed when the file broke off with an error: the line that was
// being read is not delivered, and the error never passes for the end.
line_read read_text_line(text_line_source& src, std::string_view& text);

// Opens name for reading as text, or nullptr when it is not a regular file
// (a directory, a device, a FIFO, a socket; a symbolic link counts as what it
// leads to), cannot be opened, or its first read already fails, so that a
// caller refuses all of these before it changes anything.
std::FILE* open_text_file(const char* name);

}  // namespace zuv
