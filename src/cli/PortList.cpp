#include "PortList.h"

#include <algorithm>
#include <ostream>
#include <string>

#include "ExitCodes.h"

namespace vantrell {

int WritePortList(const std::vector<SerialPortEntry>& entries, std::ostream& out) {
    for (const int nCom : {1, 2}) {
        out << "COM" << nCom << "  ";
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [nCom](const SerialPortEntry& entry) { return entry.comNumber == nCom; });
        if (it != entries.end())
            out << it->devicePath << '\n';
        else
            out << "(none on this machine)\n";
    }

    out << "\nSerial devices:";
    if (entries.empty()) {
        out << " none found\n";
        return kExitOk;
    }
    out << '\n';
    std::size_t nWidth = 0;
    for (const SerialPortEntry& entry : entries) nWidth = std::max(nWidth, entry.devicePath.size());
    for (const SerialPortEntry& entry : entries) {
        out << "  " << entry.devicePath << std::string(nWidth - entry.devicePath.size() + 2, ' ');
        if (entry.comNumber > 0)
            out << "COM" << entry.comNumber << '\n';
        else
            out << "does not count: " << (entry.reason.empty() ? "unknown reason" : entry.reason) << '\n';
    }
    return kExitOk;
}

}  // namespace vantrell
