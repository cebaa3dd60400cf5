#include "serial/baud.h"

#include "core/output.h"

namespace zuv {

std::optional<long> get_baud(output& out, long rate) {
    if (rate == 0) {
        out.print("get_baud: Error: invalid baud: %ld\n", rate);
        return std::nullopt;
    }
    for (long entry : baud_table) {
        if (entry == 0) break;
        if (entry == rate) return entry;
    }
    return std::nullopt;
}

}  // namespace zuv
