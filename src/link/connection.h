#pragma once
// Connecting to the device, changing the link rate and disconnecting.

#include <cstdint>
#include <optional>
#include <string_view>

#include "config/conf_record.h"
#include "core/args.h"

namespace zuv {

struct link_state;

// The oldest device firmware the utility can talk to.
inline constexpr int min_version_major = 2;
inline constexpr int min_version_minor = 8;

// How long mode 0 listens for the device to fall silent before it interrupts
// it anyway: a device that never stops talking must not hang the utility.
inline constexpr int connect_drain_limit_ms = 2000;

enum class connect_mode { first = 0, after_rate_change = 1 };

// dev_connect's results.
inline constexpr int connect_ok = 0;
inline constexpr int connect_already = 1;
inline constexpr int connect_no_port = 2;
inline constexpr int connect_no_product = 3;
inline constexpr int connect_bad_version = 4;
inline constexpr int connect_no_line_feed = 7;
inline constexpr int connect_no_prompt = 8;

// Opens st.port_name at rate and proves that the device answers: mode first
// asks for its version, mode after_rate_change reopens the port and waits for
// the prompt. Sets st.connected on success; every failure leaves the port closed.
int dev_connect(link_state& st, long rate, connect_mode mode);

// The firmware version a reply names, as (major, minor).
struct device_version {
    int major;
    int minor;
};

// The version after "Version " that follows the product name in reply, or
// none when the reply names no version after it. A version without a '.' has
// the minor number 0.
std::optional<device_version> find_device_version(std::string_view reply, std::size_t product_pos);

bool version_sufficient(device_version v);

// Replaces every NUL byte of a reply by '#', so the reply is searched as one text.
void mask_reply_nuls(std::uint8_t* buf, int len);

// Closes the port and drops the connection in the same step.
void close_link(link_state& st);

// The console commands. connect takes the configured link rate from conf
// when no rate is given.
void connect_command(link_state& st, const conf_record& conf, arg_cursor& args);
void baud_command(link_state& st, arg_cursor& args);
void disconnect_command(link_state& st);

}  // namespace zuv
