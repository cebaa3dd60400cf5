#pragma once
// A readable view of what a download delivered: every field of the
// configuration record and each 28-byte rule record, decoded from the bytes
// as the device would read them.

#include <optional>
#include <string>

namespace zuvsim {

inline constexpr std::size_t conf_record_size = 904;
inline constexpr std::size_t rule_record_size = 28;
inline constexpr std::size_t max_rules = 30;

// conf and rules: the transfers' bytes, nullopt for a transfer that never came.
std::string describe_download(const std::optional<std::string>& conf, const std::optional<std::string>& rules);

// The rule count the configuration record carries, or -1 when conf is not a whole record.
long conf_rule_count(const std::string& conf);

}  // namespace zuvsim
