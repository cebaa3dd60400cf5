#include "rules/rule_record.h"

#include <algorithm>

namespace zuv {

static_assert(std::is_same_v<std::uint8_t, unsigned char>, "the table is read as its object bytes");

std::string_view rule_record::callsign() const {
    const auto cells = cell(rule_field::argument_1);
    const auto end = std::find(cells.begin(), cells.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(cells.data()), static_cast<std::size_t>(end - cells.begin())};
}

std::span<const std::uint8_t> rule_table_image(const rule_array& table, std::size_t count) {
    count = std::min(count, table.size());
    return {reinterpret_cast<const std::uint8_t*>(table.data()), count * rule_record_size};
}

}  // namespace zuv
