// Any bytes to zuvsim's boot loader once it has restarted after "reset": the
// SYN, the identifier and the record lines (see sim_session.h for how the
// input reads). It may answer only with its own reply bytes, must keep every
// record it acknowledged and nothing else, and must lay out what it kept
// without reading or writing beyond it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"
#include "device_common.h"
#include "intel_hex.h"
#include "sim_session.h"

namespace {

using zuvsim::device_mode;

constexpr std::string_view loader_replies = "\x05\x06\x15\x11\x12";  // ENQ ACK NAK, no start, bad checksum

void check_image(const std::vector<std::string>& records) {
    const zuvsim::hex_image image = zuvsim::lay_out_image(records);
    if (image.bytes.size() > (16u << 20)) std::abort();
    if (!image.error.empty() && !image.bytes.empty()) std::abort();
}

struct loader_watch {
    std::size_t checked = 0;  // records of the session checked so far
    long kept = 0;            // their bytes with their line ends

    void check(const zuvsim::device& dev, const zuvsim::device_output& out, device_mode before) {
        if (before == device_mode::boot_loader) {
            for (const char c : out.bytes)
                if (loader_replies.find(c) == std::string_view::npos) std::abort();
        }
        const zuvsim::boot_loader& bl = dev.loader;
        if (dev.mode == device_mode::boot_loader) {
            // Only a good record is acknowledged, and only an acknowledged one moves the count on.
            if (static_cast<long>(bl.accepted.size()) != bl.number - 1) std::abort();
            if (bl.line.size() > 1024) std::abort();
        }
        if (bl.accepted.size() < checked) *this = loader_watch{};  // a new session
        for (; checked < bl.accepted.size(); ++checked) {
            const std::string& line = bl.accepted[checked];
            if (zuvsim::check_hex_record(line).verdict != zuvsim::hex_verdict::good) std::abort();
            kept += static_cast<long>(line.size()) + 1;
        }
        if (kept > dev.received) std::abort();
        if (out.loader_records) check_image(*out.loader_records);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zuv::fuzz::sim_session session{zuvsim::device_options{}};
    loader_watch watch;
    auto check = [&](const zuvsim::device_output& out, device_mode before) { watch.check(session.dev, out, before); };
    session.send("reset\n", check);
    session.wait(zuvsim::milliseconds(100), check);  // the restart
    if (session.dev.mode != device_mode::boot_loader ||
        session.dev.loader.state != zuvsim::loader_state::prompting)
        std::abort();
    session.play(data, size, check);
    if (const auto records = zuvsim::device_loader_records(session.dev)) check_image(*records);
    return 0;
}
