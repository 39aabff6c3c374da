// CSenderDialog: the program's main window, and the holder of all its
// state for the whole run.
//
// Com1 and Com2 replace the serial link object, Load picks a command
// script, Send runs one pass over it, and Send N times runs as many passes
// as the repeat box says with a pause of a second after each. The status
// box shows the port's state; the command box the loaded path, the echo of
// the last pass, or why a request was refused:
//
//   state         m_pPort     m_strScriptPath   Send / Send N times
//   Start         none        empty             "Com Port is CLOSE!"
//   Port only     a port      empty             "First Load Command!"
//   Script only   none        a path            "Com Port is CLOSE!"
//   Ready         a port      a path            passes (a port that did not
//                                               open refuses as if none)
//
// A pass that cannot write a byte stops and the status names the port;
// Send N times then skips the passes still to come. A script that cannot
// be read leaves the handler as FileException, shown by the exception
// report. Everything runs on the UI thread; a send blocks the window.
#pragma once

#include <memory>
#include <string>

#include <wx/iconbndl.h>

#include "ScriptPass.h"
#include "TemplateDialog.h"

namespace vantrell {

class CSeaTalkPort;

inline constexpr char kTextStatusStart[] = "Close -> Please, select SEATLAK  com PORT ";
inline constexpr char kScriptFilter[] = "Raymarine script files (*.ray)|*.id|All Files (*.*)|*.*||";
inline constexpr int kRepeatMin = 0;
inline constexpr int kRepeatMax = 60;
inline constexpr unsigned kRepeatPauseMs = 1000;

class CSenderDialog : public TemplateDialog, public PassObserver {
public:
    explicit CSenderDialog(UiServices& services, wxWindow* pParent = nullptr);
    ~CSenderDialog() override;

    // The button handlers.
    void OnCom1();
    void OnCom2();
    void OnLoad();
    void OnSend();
    void OnSendNTimes();

    // One transmission pass over strPath through m_pPort, with the dialog
    // as the pass's display. A byte that cannot be written stops the pass
    // and puts "Error -> Can't write to selected COMn" in the status box.
    // Throws FileException when the script cannot be read.
    PassResult SendScript(std::string strPath);

    // PassObserver: the data exchange into the controls.
    void UpdateControls() override;

    // Read by tests; the dialog's own state.
    const std::string& ScriptPath() const { return m_strScriptPath; }
    const std::string& Status() const { return m_strStatus; }
    const std::string& Command() const { return m_strCommand; }
    int Repeat() const { return m_nRepeat; }
    const CSeaTalkPort* Port() const { return m_pPort.get(); }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    void OnSysCommand(unsigned nId) override;
    void OnCommand(int nId) override;

private:
    void OpenComPort(const char* pszPortName, const char* pszOpened, const char* pszFailed);
    void OnPaint(wxPaintEvent& event);

    std::string m_strScriptPath;
    std::string m_strStatus;
    std::string m_strCommand;
    int m_nRepeat = 0;
    std::unique_ptr<CSeaTalkPort> m_pPort;
    wxIconBundle m_hIcon;
};

}  // namespace vantrell
