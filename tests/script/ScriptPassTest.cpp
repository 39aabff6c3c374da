#include "ScriptPass.h"

#include <gtest/gtest.h>

#include "ScriptFile.h"
#include "ScriptFiles.h"
#include "SeaTalkPort.h"
#include "SimulatedSerial.h"

namespace vantrell {
namespace {

class CountingObserver : public PassObserver {
public:
    void UpdateControls() override { ++updates; }
    bool ContinueAfterByte(std::size_t nSent) override { return stopAfter == 0 || nSent < stopAfter; }
    int updates = 0;
    std::size_t stopAfter = 0;
};

class ScriptPassTest : public testing::Test {
protected:
    ScriptPassTest() {
        sim.AddPort("COM1");
        port.OpenPort("COM1");
    }

    PassResult Send(const std::string& script) {
        return RunScriptPass(&port, files.Write("script.ray", script), echo, observer);
    }
    std::string Wire() const { return FormatChars(sim.Chars()); }

    SimulatedSerial sim;
    CSeaTalkPort port{sim, sim.Clock(), nullptr};
    ScriptFiles files;
    std::string echo = "left over from before";
    CountingObserver observer;
};

TEST_F(ScriptPassTest, ScriptsComeOffTheWireAsOneDatagram) {
    struct Case {
        const char* what;
        std::string script;
        const char* wire;
        std::string echo;
    } const cases[] = {
        {"three tokens", "86 21 01", "*86 21 01", "862101"},
        {"line end after the last", "86 21 01\r\n", "*86 21 01", "862101"},
        {"two lines", "86 21 01\r\n84 06 00", "*86 21 01 84 06 00", "862101840600"},
        {"two lines, blank before the line end", "86 21 01 \r\n84 06 00", "*86 21 01 84 06 00", "862101840600"},
        {"tab between", "86\t21", "*86 21", "8621"},
        {"one token", "7F", "*7F", "7F"},
        {"prefix", "0x86", "*86", "0x86"},
        {"long tokens", "1234 123456789", "*34 89", "1234123456789"},
        {"signs and suffix", "-1 +5 86h", "*FF 05 86", "-1+586h"},
        {"empty script", "", "", ""},
        {"blanks at both ends and doubled", " 86  21 ", "*86 21", "8621"},
        {"no number first: the next number carries the bit", "x86 G1 21 0x 01", "*21 01", "x86G1210x01"},
        {"no number in the middle sends nothing", "86 zz 21", "*86 21", "86zz21"},
        {"NUL inside a token", std::string("8\0" "6 21", 6), "*08 21", std::string("8\0" "621", 5)},
        {"autopilot status", "84 06 2D 5A 02 00 FE 00 08", "*84 06 2D 5A 02 00 FE 00 08", "84062D5A0200FE0008"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedSerial fresh;
        fresh.AddPort("COM1");
        CSeaTalkPort freshPort(fresh, fresh.Clock(), nullptr);
        ASSERT_EQ(freshPort.OpenPort("COM1"), 1);
        observer.updates = 0;

        const PassResult result = RunScriptPass(&freshPort, files.Write("s.ray", c.script), echo, observer);
        EXPECT_EQ(result.outcome, PassResult::Outcome::Sent);
        EXPECT_EQ(FormatChars(fresh.Chars()), c.wire);
        EXPECT_EQ(fresh.UndecodedFrames(), 0u);
        EXPECT_EQ(echo, c.echo);
        EXPECT_EQ(observer.updates, 1);
    }
}

TEST_F(ScriptPassTest, EveryPassStartsANewDatagram) {
    const std::string path = files.Write("s.ray", "86 21 01");
    for (int pass = 0; pass < 3; ++pass) RunScriptPass(&port, path, echo, observer);
    EXPECT_EQ(Wire(), "*86 21 01 *86 21 01 *86 21 01");
    EXPECT_EQ(echo, "862101") << "the echo is the last pass's alone";
}

TEST_F(ScriptPassTest, ScriptIsReadAfreshOnEveryPass) {
    const std::string path = files.Write("s.ray", "86");
    RunScriptPass(&port, path, echo, observer);
    files.Write("s.ray", "84 06");
    RunScriptPass(&port, path, echo, observer);
    EXPECT_EQ(Wire(), "*86 *84 06");
}

TEST_F(ScriptPassTest, Refusals) {
    SimulatedSerial none;
    CSeaTalkPort failed(none, none.Clock(), nullptr);
    ASSERT_EQ(failed.OpenPort("COM1"), 0);
    const std::string script = files.Write("s.ray", "86");

    struct Case {
        const char* what;
        CSeaTalkPort* port;
        std::string path;
        const char* text;
        PassResult::Outcome outcome;
    } const cases[] = {
        {"no port, no script", nullptr, "", "Com Port is CLOSE!", PassResult::Outcome::PortClosed},
        {"no port", nullptr, script, "Com Port is CLOSE!", PassResult::Outcome::PortClosed},
        {"a port that did not open", &failed, script, "Com Port is CLOSE!", PassResult::Outcome::PortClosed},
        {"no script", &port, "", "First Load Command!", PassResult::Outcome::NoScript},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        observer.updates = 0;
        EXPECT_EQ(RunScriptPass(c.port, c.path, echo, observer).outcome, c.outcome);
        EXPECT_EQ(echo, c.text);
        EXPECT_EQ(observer.updates, 1);
    }
    EXPECT_TRUE(sim.Wire().empty());
}

TEST_F(ScriptPassTest, StopsAtTheFirstByteThePortCannotSend) {
    sim.Config("COM1").failWriteAt = 2;
    const PassResult result = Send("86 zz 21 01 FE");
    EXPECT_EQ(result.outcome, PassResult::Outcome::SendFailed);
    EXPECT_EQ(result.nBytesSent, 2u);
    EXPECT_EQ(Wire(), "*86 21") << "nothing after the failed byte";
    EXPECT_EQ(echo, "86zz21") << "the echo holds what went out before";
    EXPECT_EQ(observer.updates, 1);
}

TEST_F(ScriptPassTest, ObserverCanStopAfterAByte) {
    observer.stopAfter = 2;
    const PassResult result = Send("86 21 01");
    EXPECT_EQ(result.outcome, PassResult::Outcome::Stopped);
    EXPECT_EQ(Wire(), "*86 21");
    EXPECT_EQ(echo, "8621");
}

TEST_F(ScriptPassTest, ScriptDeletedAfterLoadThrowsAndSendsNothing) {
    const std::string path = files.Path("deleted.ray");
    try {
        RunScriptPass(&port, path, echo, observer);
        FAIL() << "no exception";
    } catch (const FileException& e) {
        EXPECT_STREQ(e.what(), "an unnamed file was not found.");
    }
    EXPECT_EQ(echo, "") << "emptied, though nothing shows it yet";
    EXPECT_EQ(observer.updates, 0);
    EXPECT_TRUE(sim.Wire().empty());
}

TEST_F(ScriptPassTest, EachByteCostsItsPausesAndLineTime) {
    Send("86 21 01");
    EXPECT_EQ(sim.Sleeps(), std::vector<std::uint32_t>(9, 10));
    EXPECT_EQ(sim.NowUs(), 3 * (30000 + FrameTimeUs(4800, Parity::Odd)));
    EXPECT_EQ(sim.ChangesWhileBusy(), 0u);
}

}  // namespace
}  // namespace vantrell
