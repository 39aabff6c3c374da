// The exit codes of vantrell-send. Scripts and cron jobs branch on them, so
// each failure that needs a different remedy has its own code, and the
// numbers never change once published (they are in --help and the man page).
#pragma once

namespace vantrell {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,        // bad command line: nothing was opened or sent
    kExitScript = 3,       // the script could not be read
    kExitPort = 4,         // the port could not be opened: nothing was sent
    kExitSend = 5,         // a byte could not be sent; the send stopped there
    kExitSignalBase = 128  // stopped by a signal: 128 + its number (SIGINT 130)
};

}  // namespace vantrell
