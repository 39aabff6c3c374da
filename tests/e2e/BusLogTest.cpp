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

// A write as VirtualUart logs it at 4800 baud: its frame starts at once and
// takes the frame's time.
std::string Write(long long t, const char* byte, const char* parity, int bits = 8) {
    const long long frameBits = 1 + bits + (std::string(parity) == "none" ? 0 : 1) + 1;
    const long long end = t + (frameBits * 1000000000 + 4799) / 4800;
    return "write t=" + std::to_string(t) + " pid=1 fd=3 byte=" + byte + " baud=4800 bits=" + std::to_string(bits) +
           " parity=" + parity + " stop=1 start=" + std::to_string(t) + " end=" + std::to_string(end) + "\n";
}

constexpr long long kMs = 1000000;

struct LogCase {
    const char* name;
    std::string log;
    std::optional<std::string> wire;
    const char* expectText;
    const char* expectProblem;  // "" when none may be reported
};

const LogCase kLogCases[] = {
    {"odd and even parity give the ninth bit; datagrams split at command bits",
     Set(0, "even") + Write(10 * kMs, "0x86", "even") + Set(20 * kMs, "even") + Write(30 * kMs, "0x21", "even") +
         Set(40 * kMs, "odd") + Write(50 * kMs, "0x01", "odd") + Set(60 * kMs, "odd") + Write(70 * kMs, "0x84", "odd"),
     std::string("\x86\x21\x01\x84"), "*86 21 01 | *84", ""},
    {"a change at the very end of the stop bit is in time",
     Write(10, "0x86", "even") + Set(2291677, "odd"), std::nullopt, "*86", ""},
    {"a change before the stop bit has left is flagged",
     Write(10, "0x86", "even") + Set(1000010, "odd"), std::nullopt, "*86",
     "settings changed (parity odd) while byte 0x86 was on the line: 1.292 ms before its stop bit left"},
    {"no parity, no ninth bit", Write(10, "0x55", "none"), std::nullopt, "",
     "byte 0x55 sent with parity none, not odd or even"},
    {"seven data bits put the parity bit in the wrong place", Write(10, "0x55", "odd", 7), std::nullopt, "",
     "byte 0x55 sent with 7 data bits"},
    {"bytes the pty added are flagged", Write(10, "0x0a", "even"), std::string("\r\n"), "0A",
     "the pty received 2 bytes (0x0D 0x0A) for 1 written"},
    {"a byte that does not take one frame's time is flagged",
     "write t=0 pid=1 fd=3 byte=0x86 baud=4800 bits=8 parity=even stop=1 start=0 end=2083334\n", std::nullopt, "*86",
     "byte 0x86 took 2.083 ms on the line, a frame takes 2.292 ms"},
    {"a torn line is flagged, the rest still read", "write t=5 pid=1 by\n" + Write(10, "0x86", "even"),
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
