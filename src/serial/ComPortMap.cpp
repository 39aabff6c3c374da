#include "ComPortMap.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace vantrell {

namespace fs = std::filesystem;

namespace {

struct Family {
    std::string_view prefix;
    bool onBoard;  // an on-board UART may be a placeholder without hardware
};

// In COM order. "ttyS" must not swallow "ttySAC0" and the like: only the
// prefix followed by digits alone is a member.
constexpr std::array<Family, 4> kFamilies{{
    {"ttyS", true},
    {"ttyAMA", true},
    {"ttyUSB", false},
    {"ttyACM", false},
}};

// Decimal digits only, no sign, no leading zero unless "0" itself, small
// enough not to overflow. Empty when the text is anything else.
std::optional<int> ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    if (text.size() > 1 && text.front() == '0') {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

struct Candidate {
    std::size_t family;
    int number;
    std::string name;
};

std::optional<Candidate> Classify(const std::string& name) {
    for (std::size_t i = 0; i < kFamilies.size(); ++i) {
        std::string_view prefix = kFamilies[i].prefix;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            if (auto number = ParseNumber(std::string_view(name).substr(prefix.size()))) {
                return Candidate{i, *number, name};
            }
        }
    }
    return std::nullopt;
}

// The serial_core "type" attribute: 0 is PORT_UNKNOWN, the mark of a
// placeholder. Empty when the file is missing or does not hold a number.
std::optional<long> ReadUartType(const fs::path& typeFile) {
    std::ifstream in(typeFile);
    long type = 0;
    if (!(in >> type)) {
        return std::nullopt;
    }
    return type;
}

}  // namespace

ComPortMap::ComPortMap(std::string sysClassTtyRoot, std::string devRoot)
    : m_strSysRoot(std::move(sysClassTtyRoot)), m_strDevRoot(std::move(devRoot)) {}

std::vector<SerialPortEntry> ComPortMap::Scan() const {
    std::vector<Candidate> candidates;
    std::error_code ec;
    fs::directory_iterator it(m_strSysRoot, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (auto candidate = Classify(it->path().filename().string())) {
            candidates.push_back(std::move(*candidate));
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });

    std::vector<SerialPortEntry> entries;
    int nextCom = 1;
    for (const Candidate& candidate : candidates) {
        SerialPortEntry entry;
        entry.name = candidate.name;
        entry.devicePath = (fs::path(m_strDevRoot) / candidate.name).string();
        std::optional<long> type;
        if (kFamilies[candidate.family].onBoard) {
            type = ReadUartType(fs::path(m_strSysRoot) / candidate.name / "type");
        }
        std::error_code statError;
        if (type && *type == 0) {
            entry.reason = "no UART behind it (type unknown)";
        } else if (!fs::exists(entry.devicePath, statError)) {
            entry.reason = "no device node";
        } else {
            entry.comNumber = nextCom++;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<int> ComPortMap::ParseComName(std::string_view comName) {
    if (comName.size() < 4) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(comName[i])) != "COM"[i]) {
            return std::nullopt;
        }
    }
    std::optional<int> number = ParseNumber(comName.substr(3));
    if (!number || *number < 1) {
        return std::nullopt;
    }
    return number;
}

std::optional<std::string> ComPortMap::Resolve(std::string_view comName) const {
    std::optional<int> number = ParseComName(comName);
    if (!number) {
        return std::nullopt;
    }
    for (const SerialPortEntry& entry : Scan()) {
        if (entry.comNumber == *number) {
            return entry.devicePath;
        }
    }
    return std::nullopt;
}

}  // namespace vantrell
