// One run of vantrell-send: open the port, run the pass once or N times,
// report, and return the exit code.
//
// The run is the dialog's Send and Send N times without the dialog: the
// same CSeaTalkPort, the same RunScriptPass with its command-bit rule, the
// port opened before the script is read, and a pause after every pass, the
// last one included, when --repeat is given. What the dialog shows in its
// boxes goes to the streams instead: the echo of each pass on out, one line
// per pass; the device opened, the progress and every failure on err.
//
// Everything the run touches comes in through SendEnvironment, so a test
// runs it on a simulated port with a simulated clock and reads the wire,
// the streams and the exit code. Nothing here calls exit().
//
// Stopping: stopSignal is set (to the signal's number) by main's handlers.
// The pass looks at it after every byte, so a stop lands after the byte on
// the wire and never in the middle of one; the pause between passes is cut
// short by pauseSleeper. The run then says how far it got and returns
// 128 + the signal's number (130 for Ctrl-C).
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "SendOptions.h"

namespace vantrell {

class SerialBackend;
class Sleeper;

struct SendEnvironment {
    SerialBackend& backend;
    Sleeper& portSleeper;   // the port's pauses around each byte, run whole
    Sleeper& pauseSleeper;  // the pause between passes, cut short on a stop
    // A monotonic clock in milliseconds: the progress line starts once a
    // send has taken a second.
    std::function<std::uint64_t()> nowMs;
    // Writes --list-ports to its stream and returns the exit code.
    std::function<int(std::ostream&)> listPorts;
    std::ostream& out;
    std::ostream& err;
    const volatile std::sig_atomic_t& stopSignal;
    bool bProgress = false;  // err is a terminal: draw the progress line
};

// Sends options.strScriptPath as the options say. Returns kExitOk,
// kExitScript, kExitPort, kExitSend, or kExitSignalBase + the stop signal.
int RunSend(const SendOptions& options, SendEnvironment& env);

// The whole program after main: parses args (without the program name),
// then sends, lists the ports, or prints the help or the version.
int RunSendProgram(const std::vector<std::string>& args, SendEnvironment& env);

}  // namespace vantrell
