// A main dialog on simulated ports, with fakes for everything a person or
// the machine would answer: message boxes are recorded, the file chooser
// answers from a field, help says yes or no, and pauses advance the
// simulated clock. The dialog is created and shown but never runs modally,
// so a test presses keys and clicks buttons and then reads the result.
#pragma once

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/textctrl.h>

#include "Resource.h"
#include "SeaTalkPort.h"
#include "SenderDialog.h"
#include "SimulatedSerial.h"
#include "UiServices.h"

namespace vantrell::test {

struct RecordingMessages final : MessageBoxes {
    void Show(const MessageRequest& request) override { shown.push_back(request); }
    std::vector<MessageRequest> shown;
};

struct FakeHelp final : HelpEngine {
    bool ShowTopic(const std::string& strHelpFile, unsigned long nTopic) override {
        asked.emplace_back(strHelpFile, nTopic);
        return bStarts;
    }
    bool bStarts = true;
    std::vector<std::pair<std::string, unsigned long>> asked;
};

struct FakeChooser final : FileChooser {
    bool ChooseOpenFile(const FileChooserRequest& request, std::string& strPath) override {
        last = request;
        if (!answer) return false;
        strPath = *answer;
        return true;
    }
    std::optional<std::string> answer;  // nothing: the user cancels
    FileChooserRequest last;
};

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        serial.AddPort("COM1");
        serial.AddPort("COM2");
        services.pMessages = &messages;
        services.pHelp = &help;
        services.pChooser = &chooser;
        services.pSleeper = &serial.Clock();
        services.portFactory = [this] { return std::make_unique<CSeaTalkPort>(serial, serial.Clock(), nullptr); };
        Restart();
    }

    // A fresh main dialog, as the program starts it.
    void Restart() {
        dialog.reset();
        dialog = std::make_unique<CSenderDialog>(services);
        ASSERT_TRUE(dialog->Create());
        dialog->Show();
    }

    void TearDown() override { dialog.reset(); }

    // A script in the test's own folder; returns its path.
    std::string WriteScript(const std::string& strText, const std::string& strName = "script.id") {
        std::string strTest = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& ch : strTest) ch = ch == '/' ? '_' : ch;  // parameterised names hold slashes
        const std::string strPath = ::testing::TempDir() + "/" + strTest + "-" + strName;
        std::ofstream(strPath, std::ios::binary) << strText;
        return strPath;
    }

    // The Ready state: the script "86 21 01" loaded and COM1 open.
    std::string MakeReady() {
        chooser.answer = WriteScript("86 21 01");
        Click(IDC_LOAD);
        Click(IDC_COM1);
        return *chooser.answer;
    }

    wxTextCtrl* Box(int nId) const { return dynamic_cast<wxTextCtrl*>(dialog->Control(nId)); }
    std::string BoxText(int nId) const { return Box(nId)->GetValue().utf8_str().data(); }
    void Type(int nId, const std::string& strText) { Box(nId)->ChangeValue(wxString::FromUTF8(strText)); }

    // A click as the button sends it.
    void Click(int nId) {
        wxWindow* pButton = dialog->Control(nId);
        wxCommandEvent click(wxEVT_BUTTON, nId);
        click.SetEventObject(pButton);
        pButton->HandleWindowEvent(click);
    }

    // A key press as GTK delivers it to the dialog, before any control.
    static void Press(TemplateDialog& target, int nKeyCode, int nModifiers = wxMOD_NONE) {
        wxKeyEvent key(wxEVT_CHAR_HOOK);
        key.m_keyCode = nKeyCode;
        key.m_shiftDown = (nModifiers & wxMOD_SHIFT) != 0;
        key.m_controlDown = (nModifiers & wxMOD_CONTROL) != 0;
        key.m_altDown = (nModifiers & wxMOD_ALT) != 0;
        key.SetEventObject(&target);
        target.GetEventHandler()->ProcessEvent(key);
    }
    void Press(int nKeyCode, int nModifiers = wxMOD_NONE) { Press(*dialog, nKeyCode, nModifiers); }

    // The 1000 ms pauses between passes; the port's own are 10 ms each.
    std::size_t RepeatPauses() const {
        std::size_t n = 0;
        for (std::uint32_t ms : serial.Sleeps()) n += ms == kRepeatPauseMs ? 1 : 0;
        return n;
    }

    SimulatedSerial serial;
    RecordingMessages messages;
    FakeHelp help;
    FakeChooser chooser;
    UiServices services;
    std::unique_ptr<CSenderDialog> dialog;
};

}  // namespace vantrell::test
