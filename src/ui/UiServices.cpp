#include "UiServices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "SeaTalkPort.h"
#include "Sleeper.h"
#include "UiText.h"

namespace vantrell {
namespace {

bool IsRegularFile(const std::string& strPath) {
    struct stat info {};
    return stat(strPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The opener's full path, or empty when PATH has none.
std::string FindInPath(const std::string& strName) {
    const char* pszPath = std::getenv("PATH");
    std::string strDirs = pszPath != nullptr ? pszPath : "/usr/local/bin:/usr/bin:/bin";
    std::size_t nStart = 0;
    while (nStart <= strDirs.size()) {
        const std::size_t nEnd = std::min(strDirs.find(':', nStart), strDirs.size());
        const std::string strDir = strDirs.substr(nStart, nEnd - nStart);
        const std::string strCandidate = (strDir.empty() ? std::string(".") : strDir) + "/" + strName;
        if (IsRegularFile(strCandidate) && access(strCandidate.c_str(), X_OK) == 0) return strCandidate;
        nStart = nEnd + 1;
    }
    return {};
}

class WxMessageBoxes final : public MessageBoxes {
public:
    void Show(const MessageRequest& request) override {
        long nStyle = wxOK | wxCENTRE;
        nStyle |= request.icon == MessageIcon::Stop ? wxICON_ERROR : wxICON_EXCLAMATION;
        if (request.bSystemModal) nStyle |= wxSTAY_ON_TOP;
        wxMessageDialog box(request.pOwner, ToWx(request.strText), ToWx(request.strTitle), nStyle);
        box.ShowModal();
    }
};

// The desktop's opener stands in for a help engine: it shows the file with
// whatever the desktop associates with it. It cannot jump to a topic.
class XdgHelpEngine final : public HelpEngine {
public:
    bool ShowTopic(const std::string& strHelpFile, unsigned long nTopic) override {
        static_cast<void>(nTopic);
        if (!IsRegularFile(strHelpFile)) return false;
        const std::string strOpener = FindInPath("xdg-open");
        if (strOpener.empty()) return false;
        const wxString opener = ToWx(strOpener);
        const wxString file = ToWx(strHelpFile);
        const wchar_t* argv[] = {opener.wc_str(), file.wc_str(), nullptr};
        return wxExecute(argv, wxEXEC_ASYNC) > 0;
    }
};

class GtkFileChooser final : public FileChooser {
public:
    bool ChooseOpenFile(const FileChooserRequest& request, std::string& strPath) override {
        wxString wildcard;
        for (const FilterEntry& entry : TranslateFilter(request.strFilter, request.strInitialName)) {
            if (!wildcard.empty()) wildcard += "|";
            wxString patterns;
            for (const std::string& strPattern : entry.patterns) {
                if (!patterns.empty()) patterns += ";";
                patterns += ToWx(strPattern);
            }
            wildcard += ToWx(entry.strLabel) + "|" + patterns;
        }
        long nStyle = wxFD_OPEN;
        if (request.bMustExist) nStyle |= wxFD_FILE_MUST_EXIST;
        wxFileDialog chooser(request.pOwner, "Open", wxEmptyString, wxEmptyString, wildcard, nStyle);
        if (chooser.ShowModal() != wxID_OK) return false;
        const std::string strChosen = ApplyDefaultExtension(FromWx(chooser.GetPath()), request.strDefaultExt);
        if (request.bMustExist && !IsRegularFile(strChosen)) return false;
        strPath = strChosen;
        return true;
    }
};

}  // namespace

UiServices& RealServices() {
    static WxMessageBoxes messages;
    static XdgHelpEngine help;
    static GtkFileChooser chooser;
    static UiServices services{&messages, &help, &chooser, &SystemSleeper(),
                               [] { return std::make_unique<CSeaTalkPort>(); }};
    return services;
}

std::vector<FilterEntry> TranslateFilter(const std::string& strFilter, const std::string& strInitialName) {
    std::vector<std::string> parts;
    std::size_t nStart = 0;
    for (;;) {
        const std::size_t nBar = strFilter.find('|', nStart);
        if (nBar == std::string::npos) {
            parts.push_back(strFilter.substr(nStart));
            break;
        }
        parts.push_back(strFilter.substr(nStart, nBar - nStart));
        nStart = nBar + 1;
    }
    std::vector<FilterEntry> entries;
    // An empty label ends the list, as the "||" at its end does.
    for (std::size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        FilterEntry entry;
        entry.strLabel = parts[i];
        std::size_t nPat = 0;
        const std::string& strPatterns = parts[i + 1];
        for (;;) {
            const std::size_t nSemi = strPatterns.find(';', nPat);
            std::string strPattern = strPatterns.substr(nPat, nSemi == std::string::npos ? std::string::npos : nSemi - nPat);
            if (strPattern == "*.*") strPattern = "*";
            if (!strPattern.empty()) entry.patterns.push_back(strPattern);
            if (nSemi == std::string::npos) break;
            nPat = nSemi + 1;
        }
        entries.push_back(std::move(entry));
    }
    const bool bWildcardName = strInitialName.find_first_of("*?") != std::string::npos;
    if (bWildcardName && !entries.empty()) {
        std::vector<std::string>& first = entries.front().patterns;
        if (std::find(first.begin(), first.end(), strInitialName) == first.end()) first.insert(first.begin(), strInitialName);
    }
    return entries;
}

std::string ApplyDefaultExtension(const std::string& strPath, const std::string& strDefaultExt) {
    if (strDefaultExt.empty() || strPath.empty() || IsRegularFile(strPath)) return strPath;
    const std::size_t nSlash = strPath.find_last_of('/');
    const std::size_t nDot = strPath.find_last_of('.');
    const bool bHasExt = nDot != std::string::npos && (nSlash == std::string::npos || nDot > nSlash + 1);
    return bHasExt ? strPath : strPath + "." + strDefaultExt;
}

}  // namespace vantrell
