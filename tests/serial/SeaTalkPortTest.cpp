#include "SeaTalkPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "SeaTalkLine.h"
#include "SimulatedSerial.h"

namespace vantrell {
namespace {

using Trace = std::vector<std::string>;

// A misbehaving port, the calls it then sees, and the error the port reports.
struct FailureCase {
    const char* what;
    SimulatedPortConfig config;
    Trace trace;
    SerialErrorKind kind;
};

class SeaTalkPortTest : public testing::Test {
protected:
    SeaTalkPortTest() { sim.AddPort("COM1"); }

    std::unique_ptr<CSeaTalkPort> OpenedPort(const char* name = "COM1") {
        auto port = std::make_unique<CSeaTalkPort>(sim, sim.Clock(), &log);
        port->OpenPort(name);
        sim.ClearOps();
        return port;
    }

    SimulatedSerial sim;
    std::ostringstream log;
};

TEST_F(SeaTalkPortTest, OpenPortSetsUpTheLineForSeaTalk) {
    CSeaTalkPort port(sim, sim.Clock(), &log);
    ASSERT_EQ(port.OpenPort("COM1"), 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(sim.IsHeld("COM1"));
    EXPECT_EQ(sim.Trace(), (Trace{"Open COM1", "ReadSettings", "ApplySettings", "ReadTimeouts", "SelectEvents",
                                  "ApplyTimeouts"}));
    EXPECT_TRUE(sim.Sleeps().empty()) << "opening makes no pause";

    EXPECT_EQ(sim.Settings("COM1"), SeaTalkOpenLine()) << "no flow control, DTR and RTS off, no parity yet";

    const Timeouts& timeouts = sim.TimeoutsOf("COM1");
    EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFFu);
    EXPECT_EQ(timeouts.readTotalMultiplier, 0u);
    EXPECT_EQ(timeouts.readTotalConstant, 0u);
    EXPECT_EQ(timeouts.WriteLimitMs(1), 1010u);
    EXPECT_EQ(sim.EventMask("COM1"), kEventTxEmpty);
    EXPECT_EQ(log.str(), "serial_tests: COM1: open\n");
}

TEST_F(SeaTalkPortTest, OpenPortFailures) {
    const FailureCase cases[] = {
        {"busy", {SerialErrorKind::Busy}, {"Open COM1 (failed)"}, SerialErrorKind::Busy},
        {"settings refused", {SerialErrorKind::None, false, true},
         {"Open COM1", "ReadSettings", "ApplySettings (failed)", "Close"}, SerialErrorKind::Unsupported},
        {"timeouts refused", {SerialErrorKind::None, false, false, true},
         {"Open COM1", "ReadSettings", "ApplySettings", "ReadTimeouts", "SelectEvents", "ApplyTimeouts (failed)",
          "Close"},
         SerialErrorKind::Unsupported},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        sim.AddPort("COM1", c.config);
        sim.ClearOps();
        CSeaTalkPort port(sim, sim.Clock(), nullptr);
        EXPECT_EQ(port.OpenPort("COM1"), 0);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.LastError().kind, c.kind);
        EXPECT_EQ(sim.Trace(), c.trace) << "a port that fails part way gives the device back";
        EXPECT_FALSE(sim.IsHeld("COM1"));
    }
}

TEST_F(SeaTalkPortTest, MissingPortFailsAtOnceAndSaysWhy) {
    CSeaTalkPort port(sim, sim.Clock(), &log);
    EXPECT_EQ(port.OpenPort("COM2"), 0);
    EXPECT_EQ(sim.Trace(), Trace{"Open COM2 (failed)"});
    EXPECT_EQ(log.str(), "serial_tests: COM2: cannot open: No such file or directory\n");
}

TEST_F(SeaTalkPortTest, SecondPortOnTheSameNameIsRefusedUntilTheFirstIsDestroyed) {
    auto first = OpenedPort();
    CSeaTalkPort second(sim, sim.Clock(), nullptr);
    EXPECT_EQ(second.OpenPort("COM1"), 0);
    EXPECT_EQ(second.LastError().kind, SerialErrorKind::Busy);
    first.reset();
    CSeaTalkPort third(sim, sim.Clock(), nullptr);
    EXPECT_EQ(third.OpenPort("COM1"), 1);
}

TEST_F(SeaTalkPortTest, SendByteRunsTheFullSequenceInOrder) {
    auto port = OpenedPort();
    ASSERT_NE(port->SendByte(0x86, 0), 0);
    EXPECT_EQ(sim.Trace(), (Trace{"ReadSettings", "Sleep 10", "Sleep 10", "ApplySettings", "Sleep 10",
                                  "SelectEvents", "WriteByte 86", "WaitEvent"}));
    // 30 ms of pauses, then 11 bit times at 4800 baud on the line.
    EXPECT_EQ(sim.NowUs(), 30000u + FrameTimeUs(4800, Parity::Even));
    EXPECT_EQ(sim.Settings("COM1").parity, Parity::Even);
}

TEST_F(SeaTalkPortTest, ParityChoiceBecomesTheNinthBit) {
    struct Case {
        int nValue;
        int bOddParity;
        SeaTalkChar onWire;
    } const cases[] = {
        {0x00, 1, {0x00, true}}, {0x00, 0, {0x00, false}}, {0x01, 1, {0x01, false}},
        {0x01, 0, {0x01, true}}, {0xFF, 1, {0xFF, true}},  {0x1A5, 0, {0xA5, false}},
        {0x00, 2, {0x00, true}}, {0x00, -1, {0x00, true}},
    };
    auto port = OpenedPort();
    std::vector<SeaTalkChar> expected;
    for (const Case& c : cases) {
        EXPECT_NE(port->SendByte(c.nValue, c.bOddParity), 0);
        expected.push_back(c.onWire);
    }
    EXPECT_EQ(sim.Chars(), expected);
    EXPECT_EQ(sim.UndecodedFrames(), 0u);
    EXPECT_EQ(sim.ChangesWhileBusy(), 0u) << "no parity change while a byte is on the line";
}

TEST_F(SeaTalkPortTest, SameParityTwiceStillGoesThroughTheWholeSequence) {
    auto port = OpenedPort();
    port->SendByte(0x21, 0);
    port->SendByte(0x00, 0);
    const Trace trace = sim.Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "ApplySettings"), 2);
    EXPECT_EQ(sim.Sleeps().size(), 6u);
}

TEST_F(SeaTalkPortTest, SendByteFailures) {
    const FailureCase cases[] = {
        {"parity dropped", {SerialErrorKind::None, true},
         {"ReadSettings", "Sleep 10", "Sleep 10", "ApplySettings (failed)"}, SerialErrorKind::Unsupported},
        {"write fails", {SerialErrorKind::None, false, false, false, 0},
         {"ReadSettings", "Sleep 10", "Sleep 10", "ApplySettings", "Sleep 10", "SelectEvents",
          "WriteByte 86 (failed)", "WaitEvent"},
         SerialErrorKind::Io},
        {"never empties", {SerialErrorKind::None, false, false, false, -1, -1, true},
         {"ReadSettings", "Sleep 10", "Sleep 10", "ApplySettings", "Sleep 10", "SelectEvents", "WriteByte 86",
          "WaitEvent (failed)"},
         SerialErrorKind::TimedOut},
        {"unplugged: nothing read is applied", {SerialErrorKind::None, false, false, false, -1, 0},
         {"ReadSettings (failed)"}, SerialErrorKind::Io},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto port = OpenedPort();
        sim.Config("COM1") = c.config;
        EXPECT_EQ(port->SendByte(0x86, 0), 0);
        EXPECT_EQ(sim.Trace(), c.trace);
        EXPECT_EQ(port->LastError().kind, c.kind);
    }
}

TEST_F(SeaTalkPortTest, PortThatNeverOpenedSendsNothingAfterTwoPauses) {
    CSeaTalkPort port(sim, sim.Clock(), nullptr);
    ASSERT_EQ(port.OpenPort("COM9"), 0);
    sim.ClearOps();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(port.SendByte(0x86, 1), 0);
    EXPECT_EQ(sim.Trace(), (Trace{"Sleep 10", "Sleep 10", "Sleep 10", "Sleep 10", "Sleep 10", "Sleep 10"}));
    EXPECT_TRUE(sim.Wire().empty());
}

}  // namespace
}  // namespace vantrell
