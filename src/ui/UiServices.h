// The seams between the dialogs and the world: message boxes, the help
// engine, the file chooser, the serial ports and the pauses.
//
// The program runs on the real ones (RealServices); tests hand in fakes
// that record what a user would have seen, answer for a user, and let
// simulated ports stand in for the machine's serial ports. Everything the
// dialogs do that blocks on a person or the wall clock goes through here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class wxWindow;

namespace vantrell {

class CSeaTalkPort;
class Sleeper;

enum class MessageIcon { Exclamation, Stop };

// One message box: modal, owned by pOwner, with a single OK button.
struct MessageRequest {
    wxWindow* pOwner = nullptr;
    std::string strTitle;
    std::string strText;
    MessageIcon icon = MessageIcon::Exclamation;
    bool bSystemModal = false;  // kept above every other window
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns when the user has dismissed the box.
    virtual void Show(const MessageRequest& request) = 0;
};

class HelpEngine {
public:
    virtual ~HelpEngine() = default;
    // Asks for nTopic of strHelpFile. False when the engine cannot be
    // started or the file is not there; the caller tells the user.
    virtual bool ShowTopic(const std::string& strHelpFile, unsigned long nTopic) = 0;
};

// An open-file chooser request, in the program's own terms.
struct FileChooserRequest {
    wxWindow* pOwner = nullptr;
    std::string strFilter;       // "Label|pattern|Label|pattern||"
    std::string strDefaultExt;   // added to a typed name without one
    std::string strInitialName;  // a wildcard here narrows the first filter
    bool bMustExist = true;
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Runs the chooser modally. True with the chosen file's full path in
    // strPath when the user confirmed; false, strPath untouched, otherwise.
    virtual bool ChooseOpenFile(const FileChooserRequest& request, std::string& strPath) = 0;
};

using PortFactory = std::function<std::unique_ptr<CSeaTalkPort>()>;

struct UiServices {
    MessageBoxes* pMessages = nullptr;
    HelpEngine* pHelp = nullptr;
    FileChooser* pChooser = nullptr;
    Sleeper* pSleeper = nullptr;
    PortFactory portFactory;
};

// Real message boxes, xdg-open for help, the GTK chooser, the machine's
// serial ports and real pauses.
UiServices& RealServices();

// One filter entry as the chooser shows it: a label and its patterns.
struct FilterEntry {
    std::string strLabel;
    std::vector<std::string> patterns;
};

// Splits a "Label|pattern|...||" filter into entries for a Linux chooser.
// A wildcard initial name ("*.ray") is added to the first entry's patterns,
// since GTK's chooser takes no wildcard as a name, and "*.*" becomes "*"
// (every file, as the label promises, not only names with a dot).
std::vector<FilterEntry> TranslateFilter(const std::string& strFilter, const std::string& strInitialName);

// The name the chooser returned, with strDefaultExt appended when the name
// has no extension of its own and no such file exists.
std::string ApplyDefaultExtension(const std::string& strPath, const std::string& strDefaultExt);

}  // namespace vantrell
