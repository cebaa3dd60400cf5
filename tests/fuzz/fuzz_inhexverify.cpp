// Any bytes as a firmware file: the check never reads past a line, a refusal
// is one message, and a file it passes holds only records the upload can send
// whole: ':' and hexadecimal digits, short enough for the send buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/output.h"
#include "core/text_lines.h"
#include "firmware/inhexverify.h"

#include "memory_file.h"

namespace {

bool sendable(std::string_view record) {
    if (record.size() > 2 * zuv::hex_data_max + zuv::hex_record_overhead) return false;
    for (std::size_t i = 1; i < record.size(); ++i)
        if (std::string_view("0123456789ABCDEFabcdef").find(record[i]) == std::string_view::npos) return false;
    return true;
}

// The records of a passed file, counted again as the upload reads them.
int sendable_records(std::FILE* fp) {
    std::rewind(fp);
    zuv::text_line_source src = zuv::firmware_line_source(fp);
    std::string_view text;
    int records = 0;
    while (zuv::read_text_line(src, text) == zuv::line_read::line) {
        if (!zuv::is_hex_record(text)) continue;
        if (!sendable(text)) std::abort();
        ++records;
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuv::fuzz::memory_file file(data, size);
    if (file.get() == nullptr) return 0;
    zuv::string_output out;
    const int rc = zuv::inhexverify(out, file.get());
    if (rc == 0) std::abort();
    if (rc < 0) {
        const std::string_view text = out.text;
        if (text.empty() || text.back() != '\n' || text.find("Error: ") == std::string_view::npos) std::abort();
        if (text.find("Error: ", text.find("Error: ") + 1) != std::string_view::npos) std::abort();
        return 0;
    }
    if (!out.text.empty() || sendable_records(file.get()) != rc) std::abort();
    return 0;
}
