#include "SendOptions.h"

#include <cctype>
#include <limits>
#include <optional>
#include <ostream>
#include <string_view>

#include "ExitCodes.h"

#ifndef VANTRELL_VERSION
#define VANTRELL_VERSION "0.0.0.0"
#endif

namespace vantrell {

namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// A decimal count without sign; nullopt for anything else, or for a count
// beyond what 64 bits hold (which no send would live to finish anyway).
std::optional<std::uint64_t> ParseCount(std::string_view text, bool& bTooLarge) {
    bTooLarge = false;
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char ch : text) {
        if (!IsDigit(ch)) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(ch - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            bTooLarge = true;
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

// Decimal seconds ("1", "0.25", ".5", "2.") to milliseconds, rounded to the
// nearest one, since the pause cannot be finer. The result must fit the
// sleeper's 32-bit milliseconds, about 49 days.
std::optional<std::uint32_t> ParseSeconds(std::string_view text, bool& bTooLarge) {
    bTooLarge = false;
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    auto allDigits = [](std::string_view part) {
        for (const char ch : part)
            if (!IsDigit(ch)) return false;
        return true;
    };
    if ((whole.empty() && fraction.empty()) || !allDigits(whole) || !allDigits(fraction)) return std::nullopt;

    constexpr std::uint64_t kMaxMs = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t ms = 0;
    for (const char ch : whole) {
        ms = ms * 10 + static_cast<std::uint64_t>(ch - '0') * 1000;
        if (ms > kMaxMs) {
            bTooLarge = true;
            return std::nullopt;
        }
    }
    std::uint64_t scale = 100;
    for (std::size_t i = 0; i < fraction.size() && i < 4; ++i) {
        const auto digit = static_cast<std::uint64_t>(fraction[i] - '0');
        if (i < 3) {
            ms += digit * scale;
            scale /= 10;
        } else if (digit >= 5) {
            ++ms;  // the fourth decimal rounds to the nearest millisecond
        }
    }
    if (ms > kMaxMs) {
        bTooLarge = true;
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(ms);
}

// "COM1"/"COM2" in any case, normalised to upper case; a path beginning
// with '/' as it is.
std::optional<std::string> ParsePort(const std::string& text) {
    if (!text.empty() && text.front() == '/') return text;
    std::string upper;
    for (const char ch : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    if (upper == "COM1" || upper == "COM2") return upper;
    return std::nullopt;
}

int UsageError(std::ostream& err, const std::string& strWhy) {
    err << kSendProgramName << ": " << strWhy << '\n'
        << "Try '" << kSendProgramName << " --help' for more information.\n";
    return kExitUsage;
}

}  // namespace

int ParseSendOptions(const std::vector<std::string>& args, SendOptions& options, std::ostream& err) {
    options = SendOptions{};
    std::vector<std::string> scripts;
    bool bOptionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bOptionsEnded || arg.size() < 2 || arg.front() != '-') {
            scripts.push_back(arg);
            continue;
        }
        if (arg == "--") {
            bOptionsEnded = true;
            continue;
        }

        // Split "--name=value"; a value may also follow as the next argument.
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        std::optional<std::string> value;
        if (eq != std::string::npos) value = arg.substr(eq + 1);

        const bool bTakesValue = name == "--port" || name == "--repeat" || name == "--interval";
        const bool bFlag = name == "--help" || name == "-h" || name == "--version" || name == "--list-ports";
        if (!bTakesValue && !bFlag) return UsageError(err, "unknown option '" + name + "'");
        if (!bTakesValue && value) return UsageError(err, "option '" + name + "' takes no value");
        if (bTakesValue && !value) {
            if (i + 1 >= args.size()) return UsageError(err, "option '" + name + "' needs a value");
            value = args[++i];
        }

        if (name == "--help" || name == "-h") {
            options.action = SendOptions::Action::Help;
            return kExitOk;
        }
        if (name == "--version") {
            options.action = SendOptions::Action::Version;
            return kExitOk;
        }
        if (name == "--list-ports") {
            options.action = SendOptions::Action::ListPorts;
        } else if (name == "--port") {
            const std::optional<std::string> port = ParsePort(*value);
            if (!port) {
                return UsageError(err, "--port: '" + *value +
                                           "' is neither COM1, COM2 nor a device path (a path begins with '/', "
                                           "such as /dev/ttyUSB0)");
            }
            options.strPort = *port;
        } else if (name == "--repeat") {
            bool bTooLarge = false;
            const std::optional<std::uint64_t> count = ParseCount(*value, bTooLarge);
            if (!count) {
                return UsageError(err, bTooLarge ? "--repeat: '" + *value + "' is too large"
                                                 : "--repeat: '" + *value + "' is not a whole number of 0 or more");
            }
            options.bRepeat = true;
            options.nRepeat = *count;
        } else if (name == "--interval") {
            bool bTooLarge = false;
            const std::optional<std::uint32_t> ms = ParseSeconds(*value, bTooLarge);
            if (!ms) {
                return UsageError(err, bTooLarge ? "--interval: '" + *value + "' is too large (at most 4294967 seconds)"
                                                 : "--interval: '" + *value +
                                                       "' is not a number of seconds (such as 1, 0.25 or 0)");
            }
            options.nIntervalMs = *ms;
        }
    }

    if (options.action == SendOptions::Action::ListPorts) {
        if (!scripts.empty()) return UsageError(err, "--list-ports takes no script ('" + scripts.front() + "')");
        return kExitOk;
    }
    if (scripts.empty()) return UsageError(err, "no script given");
    if (scripts.size() > 1) return UsageError(err, "one script at a time ('" + scripts[1] + "' is one too many)");
    if (scripts.front().empty()) return UsageError(err, "the script's name is empty");
    options.strScriptPath = scripts.front();
    return kExitOk;
}

void WriteSendUsage(std::ostream& out) {
    out << "Usage: vantrell-send [--port COM1|COM2|DEVICE] [--repeat N] [--interval SECONDS] SCRIPT\n"
           "       vantrell-send --list-ports | --help | --version\n"
           "\n"
           "Sends a command script onto a SeaTalk bus as one datagram, once or N times.\n"
           "\n"
           "  --port PORT         COM1 (the default), COM2, or a serial device path such\n"
           "                      as /dev/ttyUSB0\n"
           "  --repeat N          send the script N times (0 or more), pausing after\n"
           "                      every pass, the last one included; without --repeat\n"
           "                      it goes out once, with no pause\n"
           "  --interval SECONDS  the pause with --repeat: 1 unless given; fractions\n"
           "                      such as 0.25, and 0, are allowed\n"
           "  --list-ports        show which devices are COM1 and COM2, and why others\n"
           "                      do not count\n"
           "  --help              show this help\n"
           "  --version           show the version\n"
           "\n"
           "Script: hexadecimal numbers separated by blanks, tabs or line ends, one\n"
           "byte each; the first byte of a pass carries the SeaTalk command bit. A\n"
           "number reads like C's %x and its low byte is sent: 1234 sends 34, -1 sends\n"
           "FF, 0x86 and 86h send 86. A keystroke datagram, for example:\n"
           "    86 21 01 FE\n"
           "\n"
           "Ports: COM1 is the machine's first serial port and COM2 its second, counting\n"
           "on-board UARTs with hardware behind them (ttyS*, then ttyAMA*) before USB\n"
           "adapters (ttyUSB*, then ttyACM*), each kind by number. Opening a port needs\n"
           "membership of the 'dialout' group.\n"
           "\n"
           "Output: each pass's numbers, run together, as one line on standard output;\n"
           "the device opened, progress on a terminal, and errors on standard error.\n"
           "\n"
           "Exit status:\n"
           "  0    sent (--repeat 0 sends nothing and succeeds)\n"
           "  2    bad command line\n"
           "  3    the script could not be read\n"
           "  4    the port could not be opened\n"
           "  5    a byte could not be sent\n"
           "  130  interrupted by Ctrl-C (SIGINT); SIGTERM gives 143 and SIGHUP 129. The\n"
           "       send ends after the byte on the wire; a second Ctrl-C ends it at once.\n";
}

void WriteSendVersion(std::ostream& out) { out << kSendProgramName << ' ' << VANTRELL_VERSION << '\n'; }

}  // namespace vantrell
