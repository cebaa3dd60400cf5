#include <gtest/gtest.h>

#include "serial/port.h"

namespace zuv {
namespace {

TEST(SerialTimeouts, StandingTimeoutsTruncateOneCharacterTimePerByte) {
    struct rate_case {
        long rate;
        std::uint32_t read_multiplier;
        std::uint32_t write_multiplier;
    } cases[] = {{4800, 2, 4}, {9600, 1, 2}, {19200, 0, 1}, {38400, 0, 0}, {57600, 0, 0}, {110, 90, 181}};
    for (const rate_case& c : cases) {
        const port_timeouts t = standing_timeouts(c.rate);
        EXPECT_EQ(t.read_interval, 0u) << c.rate;
        EXPECT_EQ(t.read_multiplier, c.read_multiplier) << c.rate;
        EXPECT_EQ(t.read_constant, 1u) << c.rate;
        EXPECT_EQ(t.write_multiplier, c.write_multiplier) << c.rate;
        EXPECT_EQ(t.write_constant, 10u) << c.rate;
    }
}

TEST(SerialTimeouts, TimedReadWaitsItsTimeoutPlusTenAndTheCharacterTimes) {
    struct read_case {
        long rate;
        int size;
        int timeout_ms;
        std::uint64_t total_ms;
    } cases[] = {
        {19200, 1, 0, 1},        // standing constant only
        {4800, 40, 100, 190},    // 2 x 40 + 110
        {19200, 200, 2000, 2010},
        {9600, 200, 2000, 2210},
        {4800, 1024, 2000, 4058},
    };
    for (const read_case& c : cases) {
        const port_timeouts t = read_timeouts(standing_timeouts(c.rate), c.timeout_ms);
        EXPECT_EQ(total_read_ms(t, c.size), c.total_ms) << c.rate << " " << c.size << " " << c.timeout_ms;
    }
}

TEST(SerialTimeouts, TimedReadLeavesTheStandingTimeoutsAsTheyWere) {
    const port_timeouts standing = standing_timeouts(4800);
    const port_timeouts timed = read_timeouts(standing, 500);
    EXPECT_EQ(timed.read_constant, 510u);
    EXPECT_EQ(timed.read_multiplier, standing.read_multiplier);
    EXPECT_EQ(read_timeouts(standing, 0).read_constant, 1u);
}

TEST(SerialTimeouts, WriteMayTakeTwoCharacterTimesPerByteAndTenMore) {
    EXPECT_EQ(total_write_ms(standing_timeouts(4800), 10), 50u);
    EXPECT_EQ(total_write_ms(standing_timeouts(57600), 1024), 10u);
}

}  // namespace
}  // namespace zuv
