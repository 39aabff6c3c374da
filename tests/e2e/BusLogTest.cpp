// The log reader on hand-written logs: what it decodes and what it flags.
// Nothing here needs the bus.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <optional>
#include <string>

#include "BusLog.h"

namespace vantrell::e2e {
namespace {

using ::testing::HasSubstr;

std::string Set(long long t, const char* parity) {
    return "set t=" + std::to_string(t) + " pid=1 fd=3 act=now baud=4800 bits=8 parity=" + parity + " stop=1\n";
}

std::string Write(long long t, const char* byte, const char* parity, long long end, int bits = 8) {
    return "write t=" + std::to_string(t) + " pid=1 fd=3 byte=" + byte + " baud=4800 bits=" + std::to_string(bits) +
           " parity=" + parity + " stop=1 start=" + std::to_string(t) + " end=" + std::to_string(end) + "\n";
}

struct LogCase {
    const char* name;
    std::string log;
    std::optional<std::string> wire;
    const char* expectText;
    const char* expectProblem;  // "" when none may be reported
};

const LogCase kLogCases[] = {
    {"odd and even parity give the ninth bit; datagrams split at command bits",
     Set(0, "even") + Write(10, "0x86", "even", 100) + Set(200, "even") + Write(210, "0x21", "even", 300) +
         Set(400, "odd") + Write(410, "0x01", "odd", 500) + Set(600, "odd") + Write(610, "0x84", "odd", 700),
     std::string("\x86\x21\x01\x84"), "*86 21 01 | *84", ""},
    {"a change at the very end of the stop bit is in time",
     Write(10, "0x86", "even", 100) + Set(100, "odd"), std::nullopt, "*86", ""},
    {"a change before the stop bit has left is flagged",
     Write(10, "0x86", "even", 2291677) + Set(1000010, "odd"), std::nullopt, "*86",
     "settings changed (parity odd) while byte 0x86 was on the line: 1.292 ms before its stop bit left"},
    {"no parity, no ninth bit", Write(10, "0x55", "none", 100), std::nullopt, "",
     "byte 0x55 sent with parity none, not odd or even"},
    {"seven data bits put the parity bit in the wrong place", Write(10, "0x55", "odd", 100, 7), std::nullopt, "",
     "byte 0x55 sent with 7 data bits"},
    {"bytes the pty added are flagged", Write(10, "0x0a", "even", 100), std::string("\r\n"), "0A",
     "the pty received 2 bytes (0x0D 0x0A) for 1 written"},
    {"a torn line is flagged, the rest still read", "write t=5 pid=1 by\n" + Write(10, "0x86", "even", 100),
     std::nullopt, "*86", "log line 1 unreadable"},
};

void PrintTo(const LogCase& c, std::ostream* os) { *os << c.name; }

class BusLogTest : public ::testing::TestWithParam<LogCase> {};

TEST_P(BusLogTest, Decodes) {
    const LogCase& c = GetParam();
    const BusTrace trace = ReadBusLog(c.log, c.wire);
    EXPECT_EQ(trace.Text(), c.expectText);
    std::string problems;
    for (const std::string& problem : trace.problems) problems += problem + "\n";
    if (*c.expectProblem == '\0') {
        EXPECT_EQ(problems, "");
    } else {
        EXPECT_THAT(problems, HasSubstr(c.expectProblem));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BusLogTest, ::testing::ValuesIn(kLogCases),
                         [](const ::testing::TestParamInfo<LogCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

}  // namespace
}  // namespace vantrell::e2e
