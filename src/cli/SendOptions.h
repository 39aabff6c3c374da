// The command line of vantrell-send:
//
//   vantrell-send [--port COM1|COM2|DEVICE] [--repeat N] [--interval SECONDS] SCRIPT
//   vantrell-send --list-ports | --help | --version
//
// Options take their value as the next argument or after '=' (--repeat=3);
// "--" ends the options, so a script whose name begins with '-' can still be
// named. When an option is given twice the last one counts, which lets a
// wrapper script set a default that its caller overrides.
//
// Numbers are checked strictly, because a cron job that typed "--repeat 1O"
// should hear about it instead of sending once or forever: --repeat is a
// decimal count without sign, --interval a decimal number of seconds with at
// most a fraction, no sign and no exponent.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace vantrell {

inline constexpr const char* kSendProgramName = "vantrell-send";
inline constexpr std::uint32_t kDefaultIntervalMs = 1000;

struct SendOptions {
    enum class Action { Send, ListPorts, Help, Version };

    Action action = Action::Send;
    // "COM1", "COM2" (always upper case here) or a device path beginning
    // with '/'.
    std::string strPort = "COM1";
    // Without --repeat the script goes out once with no pause, like the
    // dialog's Send; with it, nRepeat passes, each followed by the pause,
    // the last one included, like Send N times.
    bool bRepeat = false;
    std::uint64_t nRepeat = 1;
    std::uint32_t nIntervalMs = kDefaultIntervalMs;
    std::string strScriptPath;

    // How many passes the options ask for.
    std::uint64_t Passes() const { return bRepeat ? nRepeat : 1; }
};

// Reads args (the command line without the program name) into options.
// Returns kExitOk when the options are good, else kExitUsage after writing
// the reason and a pointer to --help to err. --help and --version end the
// parse where they stand, so "vantrell-send --help --bogus" shows the help.
int ParseSendOptions(const std::vector<std::string>& args, SendOptions& options, std::ostream& err);

// "--help" text and "--version" line.
void WriteSendUsage(std::ostream& out);
void WriteSendVersion(std::ostream& out);

}  // namespace vantrell
