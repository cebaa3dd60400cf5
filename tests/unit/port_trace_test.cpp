// The trace's own lines: bytes in hex and as a C string, the time first.
#include "serial/port_trace.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace zuv {
namespace {

TEST(TraceBytes, ShowEveryByteInHexAndAsText) {
    struct bytes_case {
        std::vector<std::uint8_t> bytes;
        const char* shown;
    } cases[] = {
        {{}, " | | \"\""},
        {{'V', 'e', 'r'}, " | 56 65 72 | \"Ver\""},
        {{0x03, '\r', '\n', '\t'}, " | 03 0d 0a 09 | \"\\x03\\r\\n\\t\""},
        {{'"', '\\', 0x7F, 0x80, 0xFF, 0x00}, " | 22 5c 7f 80 ff 00 | \"\\\"\\\\\\x7f\\x80\\xff\\x00\""},
    };
    for (const bytes_case& c : cases) EXPECT_EQ(trace_bytes(c.bytes), c.shown);
}

TEST(PortTrace, EachEventIsOneLineStampedWithTheTimeSinceTheStart) {
    string_output sink;
    port_trace trace(sink);
    const std::uint8_t cut[] = {'a', 'b'};
    trace.wrote("COM2", std::span<const std::uint8_t>(cut, 1), 2, -3, "Input/output error\r");
    trace.read_failed("COM2", "gone");
    trace.opened("COM2", 9600, -3, nullptr);
    const std::regex event(R"( *[0-9]+\.[0-9]{6} (.*))");
    std::vector<std::string> events;
    std::istringstream lines(sink.text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "# zuvdigi port trace: seconds since the trace began (monotonic clock), event, port, details");
    while (std::getline(lines, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, event)) << line;
        events.push_back(m[1]);
    }
    EXPECT_EQ(events, (std::vector<std::string>{
                          "write COM2 len=2 sent=1 result=-3 error=\"Input/output error\\r\" | 61 | \"a\"",
                          "read  COM2 failed error=\"gone\"",
                          "open  COM2 rate=9600 result=-3",
                      }));
}

}  // namespace
}  // namespace zuv
