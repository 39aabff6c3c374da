#include "SendRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>

#include "ExitCodes.h"
#include "ScriptFiles.h"
#include "SimulatedSerial.h"

namespace vantrell {
namespace {

// Stands between the run and the simulated ports to set the stop flag
// after a given number of bytes, as a Ctrl-C while that byte is on the
// wire would.
class StoppingBackend final : public SerialBackend {
public:
    StoppingBackend(SimulatedSerial& sim, volatile std::sig_atomic_t& stop) : m_sim(sim), m_stop(stop) {}

    int nStopAfterWrites = -1;  // never
    int nStopSignal = SIGINT;

    OpenResult Open(const std::string& name) override {
        OpenResult result = m_sim.Open(name);
        if (result.device) result.device = std::make_unique<Device>(std::move(result.device), *this);
        return result;
    }

private:
    class Device final : public SerialDevice {
    public:
        Device(std::unique_ptr<SerialDevice> inner, StoppingBackend& owner)
            : m_inner(std::move(inner)), m_owner(owner) {}
        bool ReadSettings(LineSettings& settings) override { return m_inner->ReadSettings(settings); }
        bool ApplySettings(const LineSettings& settings) override { return m_inner->ApplySettings(settings); }
        bool ReadTimeouts(Timeouts& timeouts) override { return m_inner->ReadTimeouts(timeouts); }
        bool ApplyTimeouts(const Timeouts& timeouts) override { return m_inner->ApplyTimeouts(timeouts); }
        bool SelectEvents(std::uint32_t mask) override { return m_inner->SelectEvents(mask); }
        bool WriteByte(std::uint8_t byte) override {
            const bool ok = m_inner->WriteByte(byte);
            if (++m_nWrites == m_owner.nStopAfterWrites) m_owner.m_stop = m_owner.nStopSignal;
            return ok;
        }
        bool WaitEvent(std::uint32_t& events, std::uint32_t limitMs) override {
            return m_inner->WaitEvent(events, limitMs);
        }
        const std::string& Path() const override { return m_inner->Path(); }
        const SerialError& LastError() const override { return m_inner->LastError(); }

    private:
        std::unique_ptr<SerialDevice> m_inner;
        StoppingBackend& m_owner;
        int m_nWrites = 0;
    };

    SimulatedSerial& m_sim;
    volatile std::sig_atomic_t& m_stop;
};

// The pause between passes on the simulated clock, with a hook that runs
// at the start of every pause.
class PauseHook final : public Sleeper {
public:
    explicit PauseHook(Sleeper& clock) : m_clock(clock) {}
    std::function<void()> onPause;
    void SleepMs(std::uint32_t ms) override {
        if (onPause) onPause();
        m_clock.SleepMs(ms);
    }

private:
    Sleeper& m_clock;
};

// One run's world: a simulated COM1, its clock, the streams, the stop flag.
struct Rig {
    Rig() { sim.AddPort("COM1"); }

    int Run(std::vector<std::string> args) {
        SendEnvironment env{backend,
                            sim.Clock(),
                            pauses,
                            [this] { return sim.NowUs() / 1000; },
                            [](std::ostream& o) {
                                o << "the port list\n";
                                return kExitOk;
                            },
                            out,
                            err,
                            stop,
                            bTerminal};
        return RunSendProgram(args, env);
    }

    // The bytes written and the pauses between passes, in order; the
    // port's own 10 ms pauses are left out.
    std::string WritesAndPauses() const {
        std::string trace;
        for (const std::string& op : sim.Trace()) {
            if (op.rfind("WriteByte ", 0) == 0 || (op.rfind("Sleep ", 0) == 0 && op != "Sleep 10"))
                trace += (trace.empty() ? "" : ", ") + op;
        }
        return trace;
    }
    std::string Wire() const { return FormatChars(sim.Chars()); }

    SimulatedSerial sim;
    volatile std::sig_atomic_t stop = 0;
    StoppingBackend backend{sim, stop};
    PauseHook pauses{sim.Clock()};
    bool bTerminal = false;
    std::ostringstream out;
    std::ostringstream err;
};

class SendRunTest : public testing::Test {
protected:
    ScriptFiles files;
};

TEST_F(SendRunTest, PassesGoOutOnePerDatagramWithThePauseAfterEach) {
    const std::string w = "WriteByte 86, WriteByte 21, WriteByte 01";
    struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> options;
        std::string wire;
        std::string echo;
        std::string trace;
    } const cases[] = {
        {"once, no pause", "86 21 01", {}, "*86 21 01", "862101\n", w},
        {"three times, a second after each", "86 21 01", {"--repeat", "3"}, "*86 21 01 *86 21 01 *86 21 01",
         "862101\n862101\n862101\n", w + ", Sleep 1000, " + w + ", Sleep 1000, " + w + ", Sleep 1000"},
        {"a quarter second", "86 21 01", {"--repeat", "3", "--interval", "0.25"}, "*86 21 01 *86 21 01 *86 21 01",
         "862101\n862101\n862101\n", w + ", Sleep 250, " + w + ", Sleep 250, " + w + ", Sleep 250"},
        {"once with --repeat still pauses", "86 21 01", {"--repeat", "1"}, "*86 21 01", "862101\n",
         w + ", Sleep 1000"},
        {"no pause at all", "86 21 01", {"--repeat", "2", "--interval", "0"}, "*86 21 01 *86 21 01",
         "862101\n862101\n", w + ", " + w},
        {"zero times sends nothing", "86 21 01", {"--repeat", "0"}, "", "", ""},
        {"an empty script echoes an empty line per pass", "", {"--repeat", "2", "--interval", "0"}, "", "\n\n", ""},
        {"line ends inside the script", "86 21 01\r\n0x84 06 00\n", {}, "*86 21 01 84 06 00", "8621010x840600\n",
         w + ", WriteByte 84, WriteByte 06, WriteByte 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        std::vector<std::string> args = c.options;
        args.push_back(files.Write("script.ray", c.script));

        EXPECT_EQ(rig.Run(args), kExitOk) << rig.err.str();
        EXPECT_EQ(rig.Wire(), c.wire);
        EXPECT_EQ(rig.out.str(), c.echo);
        EXPECT_EQ(rig.WritesAndPauses(), c.trace);
        // The port names the device it opened, also when nothing is sent.
        EXPECT_NE(rig.err.str().find("COM1: open"), std::string::npos) << rig.err.str();
        EXPECT_EQ(rig.sim.UndecodedFrames(), 0u);
    }
}

TEST_F(SendRunTest, FailuresExitWithTheirCodeAndSayWhy) {
    struct Case {
        const char* what;
        std::function<void(SimulatedSerial&)> setUp;
        std::vector<std::string> options;
        bool bScriptExists;
        int exitCode;
        std::vector<std::string> messages;
        std::string wire;
        std::string echo;
    } const cases[] = {
        {"bad usage opens nothing", nullptr, {"--repeat", "x"}, true, kExitUsage, {"--repeat: 'x'"}, "", ""},
        {"missing script, after the port opened", nullptr, {}, false, kExitScript,
         {"COM1: open", "/missing.ray was not found."}, "", ""},
        {"missing script with --repeat", nullptr, {"--repeat", "3"}, false, kExitScript,
         {"/missing.ray was not found."}, "", ""},
        {"no such COM port", nullptr, {"--port", "COM2"}, true, kExitPort,
         {"vantrell-send: no serial port COM2 on this machine (see --list-ports)"}, "", ""},
        {"no such device", nullptr, {"--port", "/dev/ttyUSB7"}, true, kExitPort,
         {"no serial device /dev/ttyUSB7: No such file or directory (see --list-ports)"}, "", ""},
        {"busy", [](SimulatedSerial& s) { s.Config("COM1").openError = SerialErrorKind::Busy; }, {}, true, kExitPort,
         {"COM1 is busy: another program holds it (Device or resource busy)"}, "", ""},
        {"no permission", [](SimulatedSerial& s) { s.Config("COM1").openError = SerialErrorKind::AccessDenied; }, {},
         true, kExitPort, {"no permission to open COM1 (Permission denied)", "'dialout' group"}, "", ""},
        {"not a serial device", [](SimulatedSerial& s) { s.Config("COM1").openError = SerialErrorKind::NotSerial; },
         {}, true, kExitPort, {"COM1 is not a serial device"}, "", ""},
        {"a UART without parity", [](SimulatedSerial& s) { s.Config("COM1").dropsParity = true; }, {"--repeat", "2"},
         true, kExitPort, {"COM1 cannot send parity, which carries the SeaTalk command bit", "mini UART", "PL011"},
         "", ""},
        {"line settings refused", [](SimulatedSerial& s) { s.Config("COM1").refusesSettings = true; }, {}, true,
         kExitPort, {"COM1 refused the SeaTalk line settings", "settings refused"}, "", ""},
        {"a write fails in the second pass",
         [](SimulatedSerial& s) { s.Config("COM1").failWriteAt = 4; },
         {"--repeat", "3", "--interval", "0"},
         true,
         kExitSend,
         {"byte 2 could not be sent on COM1: Input/output error",
          "stopped at pass 2 of 3: 1 byte of it sent, 4 bytes in all"},
         "*86 21 01 *86",
         "862101\n86\n"},
        {"the transmitter never empties", [](SimulatedSerial& s) { s.Config("COM1").neverEmpties = true; }, {}, true,
         kExitSend, {"byte 1 could not be sent on COM1: the byte did not leave the transmitter in time",
                     "stopped at pass 1 of 1: 0 bytes sent"},
         "*86", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        if (c.setUp) c.setUp(rig.sim);
        std::vector<std::string> args = c.options;
        args.push_back(c.bScriptExists ? files.Write("script.ray", "86 21 01") : files.Path("missing.ray"));

        EXPECT_EQ(rig.Run(args), c.exitCode) << rig.err.str();
        for (const std::string& message : c.messages)
            EXPECT_NE(rig.err.str().find(message), std::string::npos) << "wanted: " << message << "\ngot: " << rig.err.str();
        EXPECT_EQ(rig.Wire(), c.wire);
        EXPECT_EQ(rig.out.str(), c.echo);
        if (c.exitCode == kExitUsage) {
            EXPECT_TRUE(rig.sim.Ops().empty());
        }
        // A port that failed must not leave its line half-written in front of the reason.
        if (c.exitCode == kExitPort && c.wire.empty()) {
            EXPECT_EQ(rig.err.str().find("cannot open"), std::string::npos) << rig.err.str();
        }
    }
}

TEST_F(SendRunTest, AScriptThatGoesMissingBetweenPassesStopsTheRun) {
    Rig rig;
    const std::string path = files.Write("script.ray", "86 21 01");
    rig.pauses.onPause = [&] { std::remove(path.c_str()); };

    EXPECT_EQ(rig.Run({"--repeat", "3", path}), kExitScript);
    EXPECT_EQ(rig.Wire(), "*86 21 01");
    EXPECT_EQ(rig.out.str(), "862101\n");
    EXPECT_NE(rig.err.str().find(path + " was not found."), std::string::npos) << rig.err.str();
    EXPECT_NE(rig.err.str().find("stopped at pass 2 of 3: 0 bytes of it sent, 3 bytes in all"), std::string::npos)
        << rig.err.str();
}

TEST_F(SendRunTest, AStopEndsTheSendAfterTheByteOnTheWireAndSaysHowFar) {
    enum class When { BeforeTheFirstPass, AfterAWrite, InThePause };
    struct Case {
        const char* what;
        When when;
        int nWrites;
        int nSignal;
        int exitCode;
        std::string message;
        std::string wire;
        std::string echo;
        std::string trace;
    } const cases[] = {
        {"after the first byte", When::AfterAWrite, 1, SIGINT, 130, "interrupted at pass 1 of 3: 1 byte sent", "*86",
         "86\n", "WriteByte 86"},
        {"in the second pass", When::AfterAWrite, 5, SIGINT, 130,
         "interrupted at pass 2 of 3: 2 bytes of it sent, 5 bytes in all", "*86 21 01 *86 21", "862101\n8621\n",
         "WriteByte 86, WriteByte 21, WriteByte 01, Sleep 1000, WriteByte 86, WriteByte 21"},
        {"in the pause, by SIGTERM", When::InThePause, 0, SIGTERM, 143,
         "interrupted in the pause after pass 1 of 3: 3 bytes sent in all", "*86 21 01", "862101\n",
         "WriteByte 86, WriteByte 21, WriteByte 01, Sleep 1000"},
        {"before anything went out", When::BeforeTheFirstPass, 0, SIGINT, 130,
         "interrupted before pass 1 of 3: nothing sent", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.stop = c.when == When::BeforeTheFirstPass ? c.nSignal : 0;
        rig.backend.nStopAfterWrites = c.when == When::AfterAWrite ? c.nWrites : -1;
        rig.backend.nStopSignal = c.nSignal;
        rig.pauses.onPause = nullptr;
        if (c.when == When::InThePause) rig.pauses.onPause = [&] { rig.stop = c.nSignal; };

        EXPECT_EQ(rig.Run({"--repeat", "3", files.Write("script.ray", "86 21 01")}), c.exitCode);
        EXPECT_NE(rig.err.str().find("vantrell-send: " + c.message + "\n"), std::string::npos) << rig.err.str();
        EXPECT_EQ(rig.Wire(), c.wire);
        EXPECT_EQ(rig.out.str(), c.echo);
        EXPECT_EQ(rig.WritesAndPauses(), c.trace);
    }
}

TEST_F(SendRunTest, AProgressLineOnlyOnATerminalAndOnlyAfterASecond) {
    // Forty bytes take well over a second at 30 ms of pauses each.
    std::string longScript;
    for (int i = 0; i < 40; ++i) longScript += "01 ";
    struct Case {
        const char* what;
        bool bTerminal;
        std::string script;
        bool bProgress;
    } const cases[] = {
        {"a long send on a terminal", true, longScript, true},
        {"a short send on a terminal", true, "86 21 01", false},
        {"a long send into a file", false, longScript, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.bTerminal = c.bTerminal;

        EXPECT_EQ(rig.Run({"--repeat", "2", "--interval", "0", files.Write("script.ray", c.script)}), kExitOk);
        const std::string text = rig.err.str();
        EXPECT_EQ(text.find('\r') != std::string::npos, c.bProgress) << text;
        if (!c.bProgress) continue;
        // Quiet for the first second, then redrawn byte by byte, into the
        // second pass, and wiped at the end.
        EXPECT_EQ(text.find("pass 1 of 2: 1 byte sent"), std::string::npos);
        EXPECT_NE(text.find("\rpass 1 of 2: 40 bytes sent"), std::string::npos) << text;
        EXPECT_NE(text.find("\rpass 2 of 2: 40 bytes of it sent, 80 bytes in all"), std::string::npos) << text;
        const std::size_t lastDraw = text.rfind('\r', text.size() - 2);
        EXPECT_EQ(text.back(), '\r');
        EXPECT_EQ(text.substr(lastDraw + 1, text.size() - lastDraw - 2).find_first_not_of(' '), std::string::npos)
            << "the last line is not wiped";
        EXPECT_EQ(rig.out.str().size(), 2 * (2 * 40 + 1));
    }
}

TEST_F(SendRunTest, HelpVersionAndThePortListGoToStandardOutput) {
    Rig rig;
    EXPECT_EQ(rig.Run({"--version"}), kExitOk);
    EXPECT_EQ(rig.out.str(), "vantrell-send 1.0.0.1\n");

    rig.out.str("");
    EXPECT_EQ(rig.Run({"--help"}), kExitOk);
    for (const char* wanted : {"Usage: vantrell-send [--port COM1|COM2|DEVICE] [--repeat N] [--interval SECONDS] SCRIPT",
                               "86 21 01 FE", "dialout", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  130 "})
        EXPECT_NE(rig.out.str().find(wanted), std::string::npos) << wanted;

    rig.out.str("");
    EXPECT_EQ(rig.Run({"--list-ports"}), kExitOk);
    EXPECT_EQ(rig.out.str(), "the port list\n");
    EXPECT_EQ(rig.err.str(), "");
    EXPECT_TRUE(rig.sim.Ops().empty());
}

}  // namespace
}  // namespace vantrell
