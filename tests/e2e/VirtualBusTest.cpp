// The fixture checked on its own: a plain termios client (VbusProbe) and
// CSeaTalkPort on the Linux backend (VbusPortDriver), each run in the
// namespace against the virtual UART. If these fail, the tests of the
// programs say nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "BusTest.h"

namespace vantrell::e2e {
namespace {

using ::testing::HasSubstr;

struct ProbeCase {
    const char* name;
    std::vector<std::string> steps;
    std::vector<std::string> env;
    std::vector<std::string> expectOut;   // lines the probe must print
    const char* expectBus;                // datagrams on the wire
    const char* expectProblem;            // "" when the trace must be clean
};

// Where a case looks at what happens while a byte is on the line, the line
// runs at 50 baud: 220 ms a byte leaves no doubt, even on a loaded machine,
// that the next call comes before the byte has gone.
//
// Odd parity gives 0x86 (three ones) a parity bit of 0 and 0x21 (two ones)
// a 1, so ":e" on 0x86 and ":o" on 0x21 both mean "command bit set".
const ProbeCase kProbeCases[] = {
    {"parity survives tcsetattr, queue and line status follow the line",
     {"open", "slow", "send:86:e", "send:21:e", "send:01:o"},
     {},
     {"send: readback parity=even", "send: readback parity=odd", "send: outq after write=1", "send: temt=1",
      "send: outq after temt=0"},
     "*86 21 01",
     ""},
    {"the ninth bit follows the parity, not the byte's position",
     {"open", "raw", "send:21:o", "send:86:o", "send:86:e"},
     {},
     {},
     "*21 86 | *86",
     ""},
    {"a settings change while a byte is on the line is caught",
     {"open", "slow", "rush:86:e", "rush:21:e"},
     {},
     {},
     "*86 21",
     "while byte 0x86 was on the line"},
    {"output processing left on shows as extra bytes on the wire",
     {"open", "cooked", "send:0A:e"},
     {},
     {},
     "0A",
     "the pty received 2 bytes (0x0D 0x0A) for 1 written"},
    {"a byte without parity has no ninth bit",
     {"open", "raw", "plain:55"},
     {},
     {},
     "",
     "byte 0x55 sent with parity none"},
    {"tcdrain waits for the modelled line",
     {"open", "raw", "rush:55:o", "drain"},
     {},
     {"drain: rc=0 outq=0 temt=1"},
     "*55",
     ""},
    {"modem lines are kept",
     {"open", "modem"},
     {},
     {"modem: at open dtr=1 rts=1", "modem: after bic dtr=0 rts=0", "modem: after bis rts dtr=0 rts=1",
      "modem: after set dtr dtr=1 rts=0"},
     "",
     ""},
    {"an unplugged device fails with EIO after k bytes",
     {"open", "raw", "send:86:e", "send:21:e"},
     {"VBUS_FAIL_AFTER=1"},
     {"send: set failed errno=5"},
     "*86",
     ""},
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class ProbeTest : public BusTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(ProbeTest, Steps) {
    const ProbeCase& c = GetParam();
    CVirtualBus bus;
    BusRun run;
    run.argv = {VBUS_PROBE, "/dev/ttyS0"};
    run.argv.insert(run.argv.end(), c.steps.begin(), c.steps.end());
    run.env = c.env;
    const BusResult result = bus.Run(run);
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    for (const std::string& line : c.expectOut) EXPECT_THAT(result.out, HasSubstr(line + "\n"));

    const BusTrace trace = Trace(result);
    EXPECT_EQ(trace.Text(), c.expectBus);
    if (*c.expectProblem == '\0') {
        EXPECT_TRUE(trace.problems.empty()) << Problems(trace);
    } else {
        EXPECT_THAT(Problems(trace), HasSubstr(c.expectProblem));
    }
}

INSTANTIATE_TEST_SUITE_P(VirtualUart, ProbeTest, ::testing::ValuesIn(kProbeCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

using VirtualBusTest = BusTest;

TEST_F(VirtualBusTest, FirstSerialPortIsThePtyNotTheMachines) {
    CVirtualBus bus;
    const BusResult result = bus.Run(Command({VBUS_PROBE, "/dev/ttyS0", "info"}));
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    const std::string expected = "info: rdev=" + std::to_string(major(bus.DeviceId())) + ":" +
                                 std::to_string(minor(bus.DeviceId())) + " type=4\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(VirtualBusTest, PlaceholdersAndOtherNamesAreLaidOut) {
    BusLayout layout;
    layout.deviceName = "ttyUSB0";
    layout.sysType = "";
    layout.placeholders = {"ttyS0"};
    CVirtualBus bus(layout);
    const BusResult result = bus.Run(Command({VBUS_PROBE, "/dev/ttyS0", "info"}));
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(result.out, "info: rdev=1:3 type=0\n");  // /dev/null's node

    const BusResult usb = bus.Run(Command({VBUS_PROBE, "/dev/ttyUSB0", "info", "open", "raw", "send:86:e"}));
    ASSERT_EQ(usb.exitCode, 0) << Describe(usb);
    EXPECT_EQ(Trace(usb).Text(), "*86");
}

TEST_F(VirtualBusTest, LockHeldOutsideTheNamespaceIsSeenInside) {
    CVirtualBus bus;
    const int holder = ::open(bus.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const BusResult result = bus.Run(Command({VBUS_PROBE, "/dev/ttyS0", "open", "lock"}));
    ::close(holder);
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("lock: Resource temporarily unavailable"));
}

TEST_F(VirtualBusTest, RunPastItsLimitIsKilled) {
    CVirtualBus bus;
    BusRun run = Command({"sleep", "30"});
    run.limit = std::chrono::milliseconds(200);
    const BusResult result = bus.Run(run);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.signal, SIGKILL);
}

// CSeaTalkPort on the Linux backend: the datagram goes out with the command
// bit on its first byte, and every parity change waits for the byte before.
TEST_F(VirtualBusTest, SeaTalkPortSendsADatagram) {
    CVirtualBus bus;
    const BusTrace trace =
        ExpectOnBus(bus.Run(Command({VBUS_PORT_DRIVER, "COM1", "84", "06", "2D", "5A", "02"})), "*84 06 2D 5A 02");
    EXPECT_EQ(trace.Count("flock"), 1u);
    EXPECT_EQ(trace.Count("excl"), 1u);
}

TEST_F(VirtualBusTest, SeaTalkPortReportsAnUnpluggedDevice) {
    CVirtualBus bus;
    const BusResult result =
        bus.Run(Command({VBUS_PORT_DRIVER, "COM1", "84", "06", "2D"}, {"VBUS_FAIL_AFTER=2"}));
    ExpectOnBus(result, "*84 06", 5);
    EXPECT_THAT(result.out, HasSubstr("byte 2D failed: "));
}

}  // namespace
}  // namespace vantrell::e2e
