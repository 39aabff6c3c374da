// --list-ports: which device is COM1 and which COM2 on this machine, and
// every serial device the kernel shows, with the reason for each one that
// does not count. A port a user expected but cannot open is the first
// thing a boat computer's owner needs to see explained.
#pragma once

#include <iosfwd>
#include <vector>

#include "ComPortMap.h"

namespace vantrell {

// Writes the list for entries (ComPortMap::Scan(), in COM order) to out.
// Returns kExitOk: a machine without serial ports is an answer, not a failure.
int WritePortList(const std::vector<SerialPortEntry>& entries, std::ostream& out);

}  // namespace vantrell
