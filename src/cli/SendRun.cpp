#include "SendRun.h"

#include <ostream>
#include <sstream>

#include "ExitCodes.h"
#include "ScriptFile.h"
#include "ScriptPass.h"
#include "SeaTalkPort.h"
#include "Sleeper.h"

namespace vantrell {

namespace {

// A send runs quietly for its first second; only a longer one is worth a
// progress line.
constexpr std::uint64_t kProgressAfterMs = 1000;

std::string CountOf(std::uint64_t n, const char* unit) {
    return std::to_string(n) + ' ' + unit + (n == 1 ? "" : "s");
}

// How far a send has got. Every message that ends a send early says this,
// so the user knows what reached the bus.
struct Tally {
    std::uint64_t nPass = 0;          // the pass under way, from 1
    std::uint64_t nPasses = 0;
    std::uint64_t nPassBytes = 0;     // sent in the pass under way
    std::uint64_t nEarlierBytes = 0;  // sent in the passes before it

    std::uint64_t Total() const { return nEarlierBytes + nPassBytes; }

    // "pass 2 of 5: 3 bytes of it sent, 17 bytes in all"
    std::string Where() const {
        std::string text = "pass " + std::to_string(nPass) + " of " + std::to_string(nPasses) + ": ";
        if (nEarlierBytes == 0) return text + CountOf(nPassBytes, "byte") + " sent";
        return text + CountOf(nPassBytes, "byte") + " of it sent, " + CountOf(Total(), "byte") + " in all";
    }
};

// The progress line on a terminal, redrawn in place with '\r' and wiped
// before anything else is written, so it never mixes with the echo or a
// message.
class ProgressLine {
public:
    explicit ProgressLine(SendEnvironment& env)
        : m_env(env), m_bEnabled(env.bProgress && env.nowMs), m_nStartMs(m_bEnabled ? env.nowMs() : 0) {}

    void Show(const std::string& strText) {
        if (!m_bEnabled) return;
        if (!m_bShown && m_env.nowMs() - m_nStartMs < kProgressAfterMs) return;
        m_env.err << '\r' << strText;
        if (strText.size() < m_nWidth) m_env.err << std::string(m_nWidth - strText.size(), ' ');
        m_env.err << std::flush;
        m_bShown = true;
        m_nWidth = strText.size();
    }

    void Clear() {
        if (!m_bShown) return;
        m_env.err << '\r' << std::string(m_nWidth, ' ') << '\r' << std::flush;
        m_bShown = false;
        m_nWidth = 0;
    }

private:
    SendEnvironment& m_env;
    bool m_bEnabled;
    std::uint64_t m_nStartMs;
    bool m_bShown = false;
    std::size_t m_nWidth = 0;
};

// The pass's view of the run: it counts the bytes, keeps the progress line
// current, and passes a stop on after the byte that is on the wire.
class RunObserver final : public PassObserver {
public:
    RunObserver(Tally& tally, ProgressLine& progress, const volatile std::sig_atomic_t& stopSignal)
        : m_tally(tally), m_progress(progress), m_stopSignal(stopSignal) {}

    // The run prints the echo itself once the pass has returned, also after
    // a pass that ended early, which the dialog would not have shown.
    void UpdateControls() override {}

    bool ContinueAfterByte(std::size_t nSent) override {
        m_tally.nPassBytes = nSent;
        m_progress.Show(m_tally.Where());
        return m_stopSignal == 0;
    }

private:
    Tally& m_tally;
    ProgressLine& m_progress;
    const volatile std::sig_atomic_t& m_stopSignal;
};

std::string PortLabel(const CSeaTalkPort& port) {
    const std::string& path = port.DevicePath();
    if (path.empty() || path == port.PortName()) return port.PortName();
    return port.PortName() + " (" + path + ")";
}

std::string InParens(const std::string& strText) { return strText.empty() ? std::string() : " (" + strText + ")"; }

// Says why the port cannot be used, and what the user can do about it.
// A UART without parity opens like any other and fails only when the first
// byte asks for parity, so that failure is reported here too: the port is
// as unusable for SeaTalk as one that did not open.
void ReportPortFailure(const CSeaTalkPort& port, std::ostream& err) {
    const SerialError& error = port.LastError();
    const std::string label = PortLabel(port);
    const std::string why = error.message.empty() ? std::string() : ": " + error.message;
    err << kSendProgramName << ": ";
    switch (error.kind) {
        case SerialErrorKind::NotFound:
            // A COM name the machine has no port for, as against a device
            // that is missing behind a name or a path.
            if (label == port.PortName() && port.PortName().rfind('/', 0) != 0)
                err << "no serial port " << port.PortName() << " on this machine (see --list-ports)\n";
            else
                err << "no serial device " << label << why << " (see --list-ports)\n";
            return;
        case SerialErrorKind::Busy:
            err << label << " is busy: another program holds it" << InParens(error.message) << '\n';
            return;
        case SerialErrorKind::AccessDenied:
            err << "no permission to open " << label << InParens(error.message) << '\n'
                << kSendProgramName
                << ": serial ports belong to the 'dialout' group; join it with"
                   " 'sudo usermod -aG dialout $USER', then log in again\n";
            return;
        case SerialErrorKind::Unsupported:
            if (port.IsOpen()) {
                err << label << " cannot send parity, which carries the SeaTalk command bit" << InParens(error.message)
                    << '\n'
                    << kSendProgramName
                    << ": a Raspberry Pi's mini UART is such a device: use its PL011 UART"
                       " (dtoverlay=disable-bt in config.txt) or a USB serial adapter\n";
            } else {
                err << label << " refused the SeaTalk line settings (4800 baud, 8 data bits, 1 stop bit)" << why
                    << '\n';
            }
            return;
        case SerialErrorKind::NotSerial:
            err << label << " is not a serial device" << InParens(error.message) << '\n';
            return;
        default:
            err << "cannot open " << label << why << '\n';
            return;
    }
}

void WriteEcho(std::ostream& out, const std::string& strCommand) { out << strCommand << '\n' << std::flush; }

}  // namespace

int RunSend(const SendOptions& options, SendEnvironment& env) {
    // The port's own line about the device goes out only when the open
    // succeeded; a failure gets one message that says what to do instead.
    std::ostringstream openLog;
    CSeaTalkPort port(env.backend, env.portSleeper, &openLog);
    if (port.OpenPort(options.strPort.c_str()) == 0) {
        ReportPortFailure(port, env.err);
        return kExitPort;
    }
    env.err << openLog.str() << std::flush;

    const auto interrupted = [&] { return kExitSignalBase + static_cast<int>(env.stopSignal); };
    const std::string prefix = std::string(kSendProgramName) + ": ";

    Tally tally;
    tally.nPasses = options.Passes();
    ProgressLine progress(env);
    RunObserver observer(tally, progress, env.stopSignal);
    std::string strCommand;

    for (std::uint64_t nPass = 1; nPass <= tally.nPasses; ++nPass) {
        tally.nPass = nPass;
        tally.nPassBytes = 0;
        if (env.stopSignal != 0) {
            progress.Clear();
            env.err << prefix << "interrupted before pass " << nPass << " of " << tally.nPasses << ": "
                    << (tally.Total() == 0 ? "nothing sent" : CountOf(tally.Total(), "byte") + " sent in all") << '\n';
            return interrupted();
        }

        PassResult result;
        try {
            result = RunScriptPass(&port, options.strScriptPath, strCommand, observer);
        } catch (const FileException& e) {
            progress.Clear();
            if (!strCommand.empty()) WriteEcho(env.out, strCommand);
            // The core names no file; this message can.
            const FileException named(e.GetCause(), e.OsError(),
                                      e.FileName().empty() ? options.strScriptPath : e.FileName());
            env.err << prefix << named.GetErrorMessage() << '\n';
            if (tally.Total() != 0) env.err << prefix << "stopped at " << tally.Where() << '\n';
            return kExitScript;
        }
        tally.nPassBytes = result.nBytesSent;

        progress.Clear();
        switch (result.outcome) {
            case PassResult::Outcome::Sent:
                WriteEcho(env.out, strCommand);
                break;
            case PassResult::Outcome::Stopped:
                WriteEcho(env.out, strCommand);
                env.err << prefix << "interrupted at " << tally.Where() << '\n';
                return interrupted();
            case PassResult::Outcome::SendFailed: {
                if (tally.Total() == 0 && port.LastError().kind == SerialErrorKind::Unsupported) {
                    ReportPortFailure(port, env.err);
                    return kExitPort;
                }
                if (!strCommand.empty()) WriteEcho(env.out, strCommand);
                const std::string& why = port.LastError().message;
                env.err << prefix << "byte " << tally.nPassBytes + 1 << " could not be sent on " << PortLabel(port)
                        << (why.empty() ? "" : ": " + why) << '\n'
                        << prefix << "stopped at " << tally.Where() << '\n';
                return kExitSend;
            }
            case PassResult::Outcome::PortClosed:
            case PassResult::Outcome::NoScript:
                // The port is open and the path is not empty, so the pass
                // cannot refuse; if it ever does, say so rather than claim
                // a send.
                env.err << prefix << strCommand << '\n';
                return result.outcome == PassResult::Outcome::PortClosed ? kExitPort : kExitUsage;
        }
        tally.nEarlierBytes += tally.nPassBytes;
        tally.nPassBytes = 0;

        if (options.bRepeat) {
            if (options.nIntervalMs != 0) {
                progress.Show("pass " + std::to_string(nPass) + " of " + std::to_string(tally.nPasses) +
                              " sent; pausing");
                env.pauseSleeper.SleepMs(options.nIntervalMs);
            }
            if (env.stopSignal != 0) {
                progress.Clear();
                env.err << prefix << "interrupted in the pause after pass " << nPass << " of " << tally.nPasses
                        << ": " << CountOf(tally.Total(), "byte") << " sent in all\n";
                return interrupted();
            }
        }
    }
    progress.Clear();
    return kExitOk;
}

int RunSendProgram(const std::vector<std::string>& args, SendEnvironment& env) {
    SendOptions options;
    const int nParsed = ParseSendOptions(args, options, env.err);
    if (nParsed != kExitOk) return nParsed;

    switch (options.action) {
        case SendOptions::Action::Help:
            WriteSendUsage(env.out);
            return kExitOk;
        case SendOptions::Action::Version:
            WriteSendVersion(env.out);
            return kExitOk;
        case SendOptions::Action::ListPorts:
            if (!env.listPorts) {
                env.err << kSendProgramName << ": this build cannot list the ports\n";
                return kExitPort;
            }
            return env.listPorts(env.out);
        case SendOptions::Action::Send:
            break;
    }
    return RunSend(options, env);
}

}  // namespace vantrell
