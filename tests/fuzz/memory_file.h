// The fuzzer's input as a read-only FILE, for targets that drive a reader
// taking a stream. The bytes are copied so the stream owns exactly them: a
// read past the end is the sanitizer's to catch, not the next input's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace zuv::fuzz {

class memory_file {
public:
    memory_file(const std::uint8_t* data, std::size_t size)
        : bytes_(data, data + size),
          fp_(fmemopen(bytes_.empty() ? nullptr : bytes_.data(), bytes_.size(), "r")) {}

    // Null when the C library could not open the stream; the target then skips the input.
    std::FILE* get() const { return fp_.get(); }

private:
    struct closer {
        void operator()(std::FILE* fp) const { std::fclose(fp); }
    };
    std::vector<std::uint8_t> bytes_;  // declared first: outlives the stream reading it
    std::unique_ptr<std::FILE, closer> fp_;
};

}  // namespace zuv::fuzz
