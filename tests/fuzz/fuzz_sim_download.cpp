// Any bytes to zuvsim's download receiver after "download" (see sim_session.h
// for how the input reads). A receiver that keeps what it never got, or
// answers other than ACK or NAK, would hide the utility's faults behind its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device.h"
#include "device_common.h"
#include "sim_session.h"

namespace {

using zuvsim::device_mode;

// Counts since "download" started the receiver.
struct download_watch {
    long start = 0;  // the device's count of received bytes when it began
    long acks = 0;   // ACKs it sent

    std::size_t kept(const zuvsim::download_receiver& rx) const {
        std::size_t n = 0;
        if (rx.conf) n += rx.conf->size();
        if (rx.rules) n += rx.rules->size();
        if (rx.current) n += rx.current->bytes.size();
        return n;
    }

    void check(const zuvsim::device& dev, const zuvsim::device_output& out, device_mode before) {
        const bool in_download = dev.mode == device_mode::download;
        if (before != device_mode::download) {
            if (in_download) *this = download_watch{dev.received, 0};  // a new download began
            return;
        }
        const long received = dev.received - start;
        // One answer at most per byte or time-out, and only ACK or NAK; ending
        // the download, by its last ACK or by an interrupt, adds nothing.
        if (out.bytes.size() > 1) std::abort();
        if (!out.bytes.empty() && out.bytes[0] != zuvsim::ack && out.bytes[0] != zuvsim::nak) std::abort();
        if (out.bytes == std::string(1, zuvsim::ack)) ++acks;
        const zuvsim::download_receiver& rx = dev.download;
        if (rx.packet.size() > 64) std::abort();
        // Four bytes of every packet are framing, so what the transfers keep
        // stays below what arrived; only an ACK moves on to the next packet.
        if (static_cast<long>(kept(rx)) > received) std::abort();
        if (in_download && rx.number != acks + 1) std::abort();
        if (out.download) {
            const std::size_t got = (out.download->conf ? out.download->conf->size() : 0) +
                                    (out.download->rules ? out.download->rules->size() : 0);
            if (static_cast<long>(got) > received || out.download->view.empty()) std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zuv::fuzz::sim_session session{zuvsim::device_options{}};
    download_watch watch;
    auto check = [&](const zuvsim::device_output& out, device_mode before) { watch.check(session.dev, out, before); };
    session.send("download\n", check);
    if (session.dev.mode != device_mode::download) std::abort();
    session.play(data, size, check);
    return 0;
}
