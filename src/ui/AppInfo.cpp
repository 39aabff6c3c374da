#include "AppInfo.h"

#include <unistd.h>

#include <vector>

namespace vantrell {

std::string TitleFromPath(const std::string& strPath) {
    const std::size_t nSlash = strPath.find_last_of('/');
    std::string strName = nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
    const std::size_t nDot = strName.find_last_of('.');
    if (nDot != std::string::npos && nDot > 0) strName.erase(nDot);
    return strName;
}

std::string HelpFileFromPath(const std::string& strPath) { return strPath + ".HLP"; }

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

const std::string& AppTitle() {
    static const std::string strTitle = TitleFromPath(ExecutablePath());
    return strTitle;
}

const std::string& AppHelpFile() {
    static const std::string strHelp = HelpFileFromPath(ExecutablePath());
    return strHelp;
}

}  // namespace vantrell
