// vantrell-send, unmodified, on the virtual bus: what a SeaTalk listener on
// the machine's first serial port receives for a script, and what the
// program tells its caller when the port is taken, missing or pulled out.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "BusTest.h"

namespace vantrell::e2e {
namespace {

using ::testing::HasSubstr;

class SendTest : public BusTest {
protected:
    void SetUp() override {
        BusTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (std::string(VANTRELL_SEND).empty()) GTEST_SKIP() << "vantrell-send is not built in this tree";
    }

    // vantrell-send ARGS... SCRIPT on bus, with the script holding text.
    static BusResult Send(CVirtualBus& bus, const std::string& text, std::vector<std::string> args = {},
                          std::vector<std::string> env = {}) {
        BusRun run = Command({VANTRELL_SEND}, std::move(env));
        run.argv.insert(run.argv.end(), args.begin(), args.end());
        run.argv.push_back(WriteScript(bus.ScratchDir(), "script.txt", text));
        return bus.Run(run);
    }

    static std::size_t Occurrences(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
        return n;
    }
};

struct ScriptCase {
    const char* name;
    const char* script;
    const char* expectBus;   // the datagrams a listener decodes
    const char* expectEcho;  // the pass's echo on stdout: the tokens run together
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.name; }

const ScriptCase kScriptCases[] = {
    {"keystroke", "86 21 01", "*86 21 01", "862101"},
    {"CR LF at the end", "86 21 01\r\n", "*86 21 01", "862101"},
    {"two lines are one datagram", "86 21 01\r\n84 06 00", "*86 21 01 84 06 00", "862101840600"},
    {"a tab separates", "86\t21", "*86 21", "8621"},
    {"highest value without the ninth bit", "7F", "*7F", "7F"},
    {"0x prefix", "0x86", "*86", "0x86"},
    {"a long number keeps its low byte", "1234", "*34", "1234"},
    {"minus one is all ones", "-1", "*FF", "-1"},
    {"an empty script sends nothing", "", "", ""},
    {"depth below transducer", "00 02 00 64 00", "*00 02 00 64 00", "0002006400"},
    {"speed through water", "20 01 32 00", "*20 01 32 00", "20013200"},
    {"heading", "9C 01 2D 00", "*9C 01 2D 00", "9C012D00"},
    {"autopilot status", "84 06 2D 5A 02 00 FE 00 08", "*84 06 2D 5A 02 00 FE 00 08", "84062D5A0200FE0008"},
    {"keystroke with its complement", "86 21 01 FE", "*86 21 01 FE", "862101FE"},
};

class SendScriptTest : public SendTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(SendScriptTest, ReachesTheBus) {
    const ScriptCase& c = GetParam();
    CVirtualBus bus;
    const BusResult result = Send(bus, c.script, {"--interval", "0"});
    const BusTrace trace = ExpectOnBus(result, c.expectBus);
    EXPECT_EQ(result.out, std::string(c.expectEcho) + "\n");
    // The port is set up once and let go at the end, nothing left queued.
    EXPECT_EQ(trace.Count("open"), 1u);
    EXPECT_EQ(trace.Count("close"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Scripts, SendScriptTest, ::testing::ValuesIn(kScriptCases),
                         [](const ::testing::TestParamInfo<ScriptCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

TEST_F(SendTest, RepeatSendsOneDatagramPerPassAndEchoesEach) {
    CVirtualBus bus;
    const BusResult result = Send(bus, "86 21 01 FE", {"--repeat", "3", "--interval", "0"});
    ExpectOnBus(result, "*86 21 01 FE | *86 21 01 FE | *86 21 01 FE");
    EXPECT_EQ(Occurrences(result.out, "862101FE"), 3u) << result.out;
}

TEST_F(SendTest, DeviceThatVanishesMidPassEndsWithFive) {
    CVirtualBus bus;
    const BusResult result = Send(bus, "84 06 2D 5A", {}, {"VBUS_FAIL_AFTER=2"});
    ExpectOnBus(result, "*84 06", 5);
    EXPECT_THAT(result.err, HasSubstr("2 bytes sent")) << Describe(result);
}

TEST_F(SendTest, PortHeldByAnotherProgramIsBusy) {
    CVirtualBus bus;
    const int holder = ::open(bus.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const BusResult result = Send(bus, "86 21 01");
    ::close(holder);
    EXPECT_EQ(result.exitCode, 4) << Describe(result);
    EXPECT_THAT(result.err, HasSubstr("busy"));
    const BusTrace trace = Trace(result);
    EXPECT_EQ(trace.Text(), "");
    // A port it could not have is not left marked exclusive either.
    EXPECT_EQ(trace.Count("excl"), 0u);
}

struct LayoutCase {
    const char* name;
    BusLayout layout;
    const char* port;
    int expectExit;
    const char* expectBus;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

const LayoutCase kLayoutCases[] = {
    {"COM1 is the on-board UART", {}, "COM1", 0, "*86"},
    {"a placeholder UART does not count", {"ttyS1", "4", {"ttyS0"}}, "COM1", 0, "*86"},
    {"with no UART, COM1 is the USB adapter", {"ttyUSB0", "", {}}, "COM1", 0, "*86"},
    {"a device path is taken as it is", {}, "/dev/ttyS0", 0, "*86"},
    {"there is no second port", {}, "COM2", 4, ""},
    {"a placeholder is no second port", {"ttyS1", "4", {"ttyS0"}}, "COM2", 4, ""},
};

class SendLayoutTest : public SendTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(SendLayoutTest, FindsThePort) {
    const LayoutCase& c = GetParam();
    CVirtualBus bus(c.layout);
    ExpectOnBus(Send(bus, "86", {"--port", c.port}), c.expectBus, c.expectExit);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SendLayoutTest, ::testing::ValuesIn(kLayoutCases),
                         [](const ::testing::TestParamInfo<LayoutCase>& param) {
                             return "case" + std::to_string(param.index);
                         });

TEST_F(SendTest, NothingReachesTheBusForBadUsage) {
    CVirtualBus bus;
    const BusResult result = Send(bus, "86 21 01", {"--repeat", "x"});
    EXPECT_EQ(result.exitCode, 2) << Describe(result);
    EXPECT_EQ(Trace(result).Count("open"), 0u);
}

TEST_F(SendTest, UnreadableScriptSendsNothing) {
    CVirtualBus bus;
    const BusResult result = bus.Run(Command({VANTRELL_SEND, bus.ScratchDir() + "/missing.txt"}));
    EXPECT_EQ(result.exitCode, 3) << Describe(result);
    EXPECT_EQ(Trace(result).Text(), "");
}

// Ctrl-C stops the send after the byte on the wire: exit 130, the port
// closed, and no byte cut short by a settings change.
TEST_F(SendTest, InterruptStopsCleanly) {
    CVirtualBus bus;
    BusRun run = Command({VANTRELL_SEND, "--repeat", "1000", "--interval", "0",
                          WriteScript(bus.ScratchDir(), "script.txt", "86 21 01 FE")});
    bus.Start(run);
    // Bounded: a handful of bytes take well under a second.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (bus.Running() && std::chrono::steady_clock::now() < giveUp &&
           ReadBusLog(bus.LogSoFar()).bytes.size() < 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bus.Signal(SIGINT);
    const BusResult result = bus.Wait();
    EXPECT_EQ(result.exitCode, 130) << Describe(result);
    const BusTrace trace = Trace(result);
    EXPECT_GE(trace.bytes.size(), 3u);
    EXPECT_LT(trace.bytes.size(), 4000u);
    EXPECT_TRUE(trace.problems.empty()) << Problems(trace);
    EXPECT_EQ(trace.Count("close"), 1u);
}

}  // namespace
}  // namespace vantrell::e2e
