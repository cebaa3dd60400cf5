#pragma once
// Runs the rules reader over in-memory file text and builds expected record
// images straight from the device layout, independently of the accessors.

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "rules/rule_record.h"
#include "rules/rules_reader.h"
#include "test_state.h"

namespace zuv::testing {

// Reads text as the rules file "t.rules"; the output is left in con.out.
inline int read_rules_text(console_fixture& con, const std::string& text, const char* name = "t.rules") {
    std::string copy = text;
    std::FILE* fp = copy.empty() ? std::fopen("/dev/null", "r") : fmemopen(copy.data(), copy.size(), "r");
    if (fp == nullptr) return 1000;
    const int rc = rules_read(con.st().rules, fp, name);
    std::fclose(fp);
    return rc;
}

inline std::vector<std::uint8_t> record_bytes(const rule_record& r) { return {r.bytes.begin(), r.bytes.end()}; }

// A 28-byte record image, written field by field from the device layout.
class record_image {
public:
    record_image(std::uint8_t command, std::uint8_t flags, std::int16_t line) {
        b_[24] = command;
        b_[25] = flags;
        b_[26] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(line) & 0xFF);
        b_[27] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(line) >> 8);
    }
    record_image& text(std::size_t off, const std::string& s) {
        for (std::size_t i = 0; i < s.size(); ++i) b_[off + i] = static_cast<std::uint8_t>(s[i]);
        return *this;
    }
    record_image& byte(std::size_t off, std::uint8_t v) {
        b_[off] = v;
        return *this;
    }
    record_image& single(std::size_t off, float v) {
        const std::uint32_t u = std::bit_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) b_[off + i] = static_cast<std::uint8_t>(u >> (8 * i));
        return *this;
    }
    std::vector<std::uint8_t> bytes() const { return {b_.begin(), b_.end()}; }

private:
    std::array<std::uint8_t, 28> b_{};
};

}  // namespace zuv::testing
