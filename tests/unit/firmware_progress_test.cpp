// The upload's progress line, character for character: the fields, the time
// to completion, and the bar that starts at index 21 whatever the fields took.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/output.h"
#include "firmware/firmware_state.h"
#include "firmware/upload.h"

namespace zuv {
namespace {

std::string bar(int n) { return std::string(static_cast<std::size_t>(n), '='); }

TEST(FirmwareProgress, FieldsTimeToCompletionAndBar) {
    struct progress_case {
        const char* what;
        std::int64_t elapsed;
        long acked;
        long total;
        std::string line;
    } cases[] = {
        {"first second", 0, 1, 4, "\r  0s TTC   0s 25.0% " + bar(14)},
        {"time to completion", 10, 1, 4, "\r 10s TTC  30s 25.0% " + bar(14)},
        {"fractions round down in the bar", 42, 100, 257, "\r 42s TTC  65s 38.9% " + bar(22)},
        {"a third", 3, 1, 3, "\r  3s TTC   6s 33.3% " + bar(19)},
        {"done: the bar covers the blank after the percentage", 125, 257, 257, "\r125s TTC   0s 100.0%" + bar(59)},
        {"a wide time overwritten by the bar", 1000, 1, 2, "\r1000s TTC 1000s 50.0" + bar(29)},
        {"a wide time cut where no bar covers it", 12345, 1, 100, "\r12345s TTC 1222155s "},
        {"seconds beyond 32 bits", 5000000000LL, 1, 1, "\r5000000000s TTC   0s" + bar(59)},
        {"nothing acknowledged yet", 5, 0, 9, "\r  5s TTC   0s  0.0% "},
        {"a clock set back gives no negative estimate", -4, 1, 2, "\r -4s TTC   0s 50.0% " + bar(29)},
    };
    for (const progress_case& c : cases) EXPECT_EQ(progress_line(c.elapsed, c.acked, c.total), c.line) << c.what;
}

TEST(FirmwareProgress, MeasuresFromTheStartWithTheStatesClock) {
    firmware_state fw;
    std::int64_t now = 1700000042;
    fw.clock = [&now] { return now; };
    fw.start_time = 1700000000;
    string_output out;
    fw_progress(out, fw, 3, 6);
    now += 21;
    fw_progress(out, fw, 6, 6);
    EXPECT_EQ(out.text, "\r 42s TTC  42s 50.0% " + bar(29) + "\r 63s TTC   0s 100.0%" + bar(59));
}

TEST(RecordReplyTimeout, OneHundredMillisecondsAfterTheRecordLeft) {
    struct timeout_case {
        std::size_t characters;
        int ms;
    } cases[] = {
        {0, 100},
        {12, 107},    // an end-of-file record and its CR: 6.25 ms on the wire
        {44, 123},    // 16 data bytes
        {192, 200},   // exactly 100 ms on the wire
        {268, 240},   // 128 data bytes: 139.6 ms
    };
    for (const timeout_case& c : cases) EXPECT_EQ(record_reply_timeout_ms(c.characters), c.ms) << c.characters;
}

}  // namespace
}  // namespace zuv
