#include "intel_hex.h"

#include <algorithm>
#include <optional>

namespace zuvsim {

namespace {

// No flash the device could have is near this; a span beyond it is a fault
// in the records, not an image to write.
constexpr std::uint32_t max_image_span = 16u << 20;

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::vector<std::uint8_t>> hex_pairs(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = hex_digit(text[i]);
        const int lo = hex_digit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

// The data size a type needs, or -1 when any size will do.
int data_size_for(std::uint8_t type) {
    switch (static_cast<hex_type>(type)) {
    case hex_type::data: return -1;
    case hex_type::end_of_file: return 0;
    case hex_type::segment_address:
    case hex_type::linear_address: return 2;
    case hex_type::start_segment:
    case hex_type::start_linear: return 4;
    }
    return -1;
}

struct placed_data {
    std::uint32_t address;
    const std::vector<std::uint8_t>* bytes;
};

}  // namespace

hex_check check_hex_record(std::string_view line) {
    hex_check c;
    if (line.empty() || line[0] != ':') {
        c.verdict = hex_verdict::no_start;
        return c;
    }
    const auto bytes = hex_pairs(line.substr(1));
    if (!bytes || bytes->size() < 5) {
        c.verdict = hex_verdict::not_hex;
        return c;
    }
    unsigned sum = 0;
    for (const std::uint8_t b : *bytes) sum += b;
    const std::size_t count = (*bytes)[0];
    const std::uint8_t type = (*bytes)[3];
    if (sum % 256 != 0) c.verdict = hex_verdict::bad_checksum;
    else if (bytes->size() != count + 5) c.verdict = hex_verdict::bad_length;
    else if (type > 5) c.verdict = hex_verdict::bad_type;
    else if (data_size_for(type) >= 0 && count != static_cast<std::size_t>(data_size_for(type)))
        c.verdict = hex_verdict::bad_length;
    if (c.verdict != hex_verdict::good) return c;
    c.record.type = type;
    c.record.offset = static_cast<std::uint16_t>((*bytes)[1] << 8 | (*bytes)[2]);
    c.record.data.assign(bytes->begin() + 4, bytes->end() - 1);
    return c;
}

const char* hex_verdict_text(hex_verdict v) {
    switch (v) {
    case hex_verdict::good: return "good";
    case hex_verdict::no_start: return "no start character";
    case hex_verdict::not_hex: return "not hexadecimal";
    case hex_verdict::bad_checksum: return "bad checksum";
    case hex_verdict::bad_length: return "bad length";
    case hex_verdict::bad_type: return "bad type";
    }
    return "?";
}

hex_image lay_out_image(const std::vector<std::string>& lines) {
    std::vector<hex_record> records;
    for (const std::string& line : lines) {
        hex_check c = check_hex_record(line);
        if (c.verdict == hex_verdict::good) records.push_back(std::move(c.record));
    }
    std::vector<placed_data> placed;
    std::uint32_t base = 0;
    for (const hex_record& r : records) {
        const std::uint32_t value = r.data.size() >= 2 ? static_cast<std::uint32_t>(r.data[0] << 8 | r.data[1]) : 0;
        if (r.type == static_cast<std::uint8_t>(hex_type::segment_address)) base = value << 4;
        else if (r.type == static_cast<std::uint8_t>(hex_type::linear_address)) base = value << 16;
        else if (r.type == static_cast<std::uint8_t>(hex_type::data) && !r.data.empty())
            placed.push_back({base + r.offset, &r.data});
    }
    hex_image image;
    if (placed.empty()) return image;
    std::uint64_t low = UINT64_MAX, high = 0;
    for (const placed_data& p : placed) {
        low = std::min<std::uint64_t>(low, p.address);
        high = std::max<std::uint64_t>(high, std::uint64_t{p.address} + p.bytes->size());
    }
    if (high - low > max_image_span) {
        image.error = "the records spread over more than 16 MiB";
        return image;
    }
    image.start = static_cast<std::uint32_t>(low);
    image.bytes.assign(static_cast<std::size_t>(high - low), 0x00);
    for (const placed_data& p : placed)
        std::copy(p.bytes->begin(), p.bytes->end(), image.bytes.begin() + static_cast<std::ptrdiff_t>(p.address - low));
    return image;
}

}  // namespace zuvsim
