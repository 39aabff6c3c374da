// Which Linux device is "COM1", and which is "COM2".
//
// The program names its ports as the platform it was first written for
// does: COM1 is the machine's first serial port, COM2 its second. Linux has
// no such numbering, so the map makes one from what the kernel shows:
//
//   1. on-board UARTs, ttyS* then ttyAMA*, but only those with hardware
//      behind them. The 8250 driver registers placeholders for ports that
//      are not there; their /sys/class/tty/<name>/type reads 0 ("unknown").
//      A UART whose type cannot be read is given the benefit of the doubt.
//   2. USB adapters, ttyUSB* then ttyACM*.
//
// Within a family ports go by number (ttyS2 before ttyS10), and a port
// counts only when its device node exists. Both roots are parameters so the
// tests can hand in a fake tree; nothing else is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

struct SerialPortEntry {
    std::string name;        // "ttyS0"
    std::string devicePath;  // "/dev/ttyS0" (under the dev root)
    int comNumber = 0;       // 1-based COM number; 0 when it does not count
    std::string reason;      // why it does not count, for people
};

class ComPortMap {
public:
    explicit ComPortMap(std::string sysClassTtyRoot = "/sys/class/tty", std::string devRoot = "/dev");

    // Every serial candidate in COM order, those that do not count included,
    // so a person can see why a port they expected is missing. A root that
    // cannot be read gives no entries; this never throws.
    std::vector<SerialPortEntry> Scan() const;

    // "COM1" -> "/dev/ttyUSB0". The name is COMn with n >= 1, in any case;
    // nullopt when the machine has no such port or the name is not COMn.
    std::optional<std::string> Resolve(std::string_view comName) const;

    // n for "COMn" (any case, n >= 1, decimal without sign or leading zero);
    // nullopt for anything else.
    static std::optional<int> ParseComName(std::string_view comName);

private:
    std::string m_strSysRoot;
    std::string m_strDevRoot;
};

}  // namespace vantrell
