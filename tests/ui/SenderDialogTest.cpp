// The main dialog as a user drives it: start-up, the state table, the
// control read, the keyboard rules, Send N times on the simulated wire,
// the window menu and About box, help, and the exception report.
#include <climits>
#include <cstdio>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "AboutDialog.h"
#include "AppInfo.h"
#include "DialogFixture.h"
#include "SeaTalkWire.h"

namespace vantrell::test {
namespace {

using ::testing::ElementsAre;

constexpr char kEcho[] = "862101";

TEST_F(DialogFixture, StartsAsTheUserFirstSeesIt) {
    EXPECT_EQ(BoxText(IDC_STATUS), "Close -> Please, select SEATLAK  com PORT ");
    EXPECT_EQ(BoxText(IDC_COMMAND), "");
    EXPECT_EQ(BoxText(IDC_REPEAT), "5");
    EXPECT_EQ(dialog->FocusedControl(), dialog->Control(IDC_SEND));
    EXPECT_EQ(dialog->Port(), nullptr);
    EXPECT_EQ(dialog->ScriptPath(), "");
    EXPECT_EQ(dialog->Repeat(), 5);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialog->GetTitle(), "Vantrell  (c) The Vantrell Project 2026  vantrell-dev@example.org");
    EXPECT_EQ(dynamic_cast<wxButton*>(dialog->Control(IDC_SEND))->GetLabel(), "Send ");
}

// One row: what the user does, then what the boxes show.
enum class Act { Com1, Com2, Load, Send, SendN };

struct StateCase {
    const char* name;
    std::vector<Act> acts;
    const char* status;
    const char* command;  // "=path" stands for the loaded script's path
    std::size_t datagrams;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class StateTable : public DialogFixture, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateTable, ShowsWhatTheStateAllows) {
    const StateCase& c = GetParam();
    // COM2 of this machine cannot be opened; COM1 fails on its second byte
    // only in the rows that say so.
    serial.Config("COM2").openError = SerialErrorKind::NotFound;
    if (std::string(c.name).find("WriteFails") != std::string::npos) serial.Config("COM1").failWriteAt = 1;
    const std::string strScript = WriteScript("86 21 01");
    chooser.answer = strScript;
    Type(IDC_REPEAT, "abc");  // never read by a refused or single send
    for (Act act : c.acts) {
        switch (act) {
            case Act::Com1: Click(IDC_COM1); break;
            case Act::Com2: Click(IDC_COM2); break;
            case Act::Load: Click(IDC_LOAD); break;
            case Act::Send: Click(IDC_SEND); break;
            case Act::SendN: Type(IDC_REPEAT, "3"); Click(IDC_SENDN); break;
        }
    }
    const std::string strCommand = std::string(c.command) == "=path" ? strScript : c.command;
    EXPECT_EQ(dialog->Status(), c.status);
    EXPECT_EQ(BoxText(IDC_STATUS), c.status);
    EXPECT_EQ(dialog->Command(), strCommand);
    EXPECT_EQ(BoxText(IDC_COMMAND), strCommand);
    EXPECT_EQ(SplitDatagrams(serial.Chars()).size(), c.datagrams) << FormatChars(serial.Chars());
    EXPECT_TRUE(messages.shown.empty());
}

constexpr char kStart[] = "Close -> Please, select SEATLAK  com PORT ";
constexpr char kCom1[] = "Ready -> Com1 Port OPEN";
constexpr char kCom2Failed[] = "Error -> Can't open selected COM2";

INSTANTIATE_TEST_SUITE_P(
    Rows, StateTable,
    ::testing::Values(
        StateCase{"SendAtStart", {Act::Send}, kStart, "Com Port is CLOSE!", 0},
        StateCase{"SendNAtStartReadsNoCount", {Act::SendN}, kStart, "Com Port is CLOSE!", 0},
        StateCase{"SendWithPortOnly", {Act::Com1, Act::Send}, kCom1, "First Load Command!", 0},
        StateCase{"SendNWithPortOnly", {Act::Com1, Act::SendN}, kCom1, "First Load Command!", 0},
        StateCase{"SendWithScriptOnly", {Act::Load, Act::Send}, kStart, "Com Port is CLOSE!", 0},
        StateCase{"LoadShowsPathKeepsStatus", {Act::Com1, Act::Load}, kCom1, "=path", 0},
        StateCase{"SendWhenReadyEchoes", {Act::Com1, Act::Load, Act::Send}, kCom1, kEcho, 1},
        StateCase{"SendNWhenReady", {Act::Load, Act::Com1, Act::SendN}, kCom1, kEcho, 3},
        StateCase{"Com1TwiceReopens", {Act::Com1, Act::Com1}, kCom1, "", 0},
        StateCase{"Com2AfterCom1", {Act::Com1, Act::Com2}, kCom2Failed, "", 0},
        StateCase{"FailedPortRefuses", {Act::Com2, Act::Load, Act::Send}, kCom2Failed, "Com Port is CLOSE!", 0},
        StateCase{"FailedPortRefusesSendN", {Act::Com2, Act::Load, Act::SendN}, kCom2Failed, "Com Port is CLOSE!", 0},
        StateCase{"WriteFailsMidPass", {Act::Com1, Act::Load, Act::Send}, "Error -> Can't write to selected COM1", "86", 1},
        StateCase{"WriteFailsSkipsLaterPasses", {Act::Com1, Act::Load, Act::SendN},
                  "Error -> Can't write to selected COM1", "86", 1}),
    [](const ::testing::TestParamInfo<StateCase>& row) { return std::string(row.param.name); });

TEST_F(DialogFixture, ReplacingAPortClosesTheOldOneFirst) {
    Click(IDC_COM1);
    ASSERT_TRUE(serial.IsHeld("COM1"));
    Click(IDC_COM1);  // would fail with Busy if the first were still open
    EXPECT_EQ(dialog->Status(), "Ready -> Com1 Port OPEN");
    Click(IDC_COM2);
    EXPECT_FALSE(serial.IsHeld("COM1"));
    EXPECT_TRUE(serial.IsHeld("COM2"));
    EXPECT_EQ(dialog->Status(), "Ready -> Com2 Port OPEN");
    EXPECT_EQ(dialog->Port()->PortName(), "COM2");
}

TEST_F(DialogFixture, WriteFailureSkipsTheRemainingPassesAndPauses) {
    serial.Config("COM1").failWriteAt = 4;  // the second byte of the second pass
    MakeReady();
    Type(IDC_REPEAT, "5");
    Click(IDC_SENDN);
    EXPECT_EQ(FormatChars(serial.Chars()), "*86 21 01 *86");
    EXPECT_EQ(RepeatPauses(), 1u);
    EXPECT_EQ(dialog->Status(), "Error -> Can't write to selected COM1");
}

TEST_F(DialogFixture, LoadAsksForScriptsAndCancelKeepsThePath) {
    const std::string strScript = WriteScript("86 21 01");
    chooser.answer = strScript;
    Click(IDC_LOAD);
    EXPECT_EQ(chooser.last.strFilter, "Raymarine script files (*.ray)|*.id|All Files (*.*)|*.*||");
    EXPECT_EQ(chooser.last.strDefaultExt, "id");
    EXPECT_EQ(chooser.last.strInitialName, "*.ray");
    EXPECT_TRUE(chooser.last.bMustExist);
    EXPECT_EQ(chooser.last.pOwner, dialog.get());

    Click(IDC_COM1);
    Click(IDC_SEND);
    Type(IDC_REPEAT, "9");
    chooser.answer.reset();
    Click(IDC_LOAD);
    EXPECT_EQ(dialog->ScriptPath(), strScript);
    EXPECT_EQ(BoxText(IDC_COMMAND), kEcho);  // refreshed from the field
    EXPECT_EQ(BoxText(IDC_REPEAT), "5");
}

TEST_F(DialogFixture, EchoKeepsBytesThatAreNotUtf8) {
    chooser.answer = WriteScript("86 \xE9\xFF" "21");
    Click(IDC_LOAD);
    Click(IDC_COM1);
    Click(IDC_SEND);
    EXPECT_EQ(dialog->Command(), "86\xE9\xFF" "21");
    EXPECT_EQ(Box(IDC_COMMAND)->GetValue(), wxString::FromUTF8("86\xC3\xA9\xC3\xBF" "21"));
    // A read of the controls leaves the field's own bytes alone.
    ASSERT_TRUE(dialog->UpdateData(true));
    EXPECT_EQ(dialog->Command(), "86\xE9\xFF" "21");
}

struct ReadCase {
    const char* text;
    const char* message;  // nullptr: accepted
    int repeatAfter;
};

TEST_F(DialogFixture, ControlReadOfTheRepeatBox) {
    const std::string strRange = "Please enter an integer between 0 and 60.";
    const std::string strInteger = "Please enter an integer.";
    const ReadCase cases[] = {
        {"61", strRange.c_str(), 61},
        {"-1", strRange.c_str(), -1},
        {"12345678901", strRange.c_str(), INT_MAX},
        {"-12345678901", strRange.c_str(), INT_MIN},
        {"", strInteger.c_str(), 5},
        {"abc", strInteger.c_str(), 5},
        {"5x", strInteger.c_str(), 5},
        {"0x5", strInteger.c_str(), 5},
        {"+0", strInteger.c_str(), 5},
        {"-0", strInteger.c_str(), 5},
        {"7 8", strInteger.c_str(), 5},
        {" 7 ", nullptr, 7},
        {"\t7\t", nullptr, 7},
        {"+7", nullptr, 7},
        {"0", nullptr, 0},
        {"00", nullptr, 0},
        {"60", nullptr, 60},
        // Only the first 31 characters count: the 7 lies beyond them.
        {"                               7", strInteger.c_str(), 5},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(std::string("repeat box \"") + c.text + "\"");
        dialog->UpdateData(false);  // back to 5, focus elsewhere
        messages.shown.clear();
        dialog->Control(IDC_SEND)->SetFocus();
        Type(IDC_REPEAT, c.text);

        const bool bRead = dialog->UpdateData(true);
        EXPECT_EQ(dialog->Repeat(), c.repeatAfter);
        if (c.message == nullptr) {
            EXPECT_TRUE(bRead);
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_EQ(dialog->FocusedControl(), dialog->Control(IDC_SEND));
            // Keep the next row starting from 5.
            Type(IDC_REPEAT, "5");
            ASSERT_TRUE(dialog->UpdateData(true));
            continue;
        }
        EXPECT_FALSE(bRead);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].strText, c.message);
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(messages.shown[0].strTitle, AppTitle());
        EXPECT_EQ(messages.shown[0].pOwner, dialog.get());
        EXPECT_EQ(dialog->FocusedControl(), dialog->Control(IDC_REPEAT));
        long nFrom = -1;
        long nTo = -1;
        Box(IDC_REPEAT)->GetSelection(&nFrom, &nTo);
        EXPECT_EQ(nFrom, 0);
        EXPECT_EQ(nTo, Box(IDC_REPEAT)->GetLastPosition());
        // A failed range test leaves the bad value stored; restore 5.
        Type(IDC_REPEAT, "5");
        ASSERT_TRUE(dialog->UpdateData(true));
    }
}

TEST_F(DialogFixture, EnterClicksTheFocusedButton) {
    dialog->Control(IDC_COM1)->SetFocus();
    Press(WXK_RETURN);
    EXPECT_EQ(dialog->Status(), "Ready -> Com1 Port OPEN");
    EXPECT_EQ(dialog->Result(), -1);
}

TEST_F(DialogFixture, EnterInABoxIssuesOk) {
    struct Row {
        int nBox;
        const char* repeat;
        int result;
    };
    const Row rows[] = {
        {IDC_STATUS, "7", IDOK},    {IDC_COMMAND, "7", IDOK},    {IDC_REPEAT, "7", IDOK},
        {IDC_STATUS, "61", -1},     {IDC_COMMAND, "abc", -1},    {IDC_REPEAT, "61", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("box " + std::to_string(row.nBox) + " count \"" + row.repeat + "\"");
        Restart();
        messages.shown.clear();
        Type(IDC_REPEAT, row.repeat);
        dialog->Control(row.nBox)->SetFocus();
        Press(WXK_RETURN);
        EXPECT_EQ(dialog->Result(), row.result);
        EXPECT_EQ(messages.shown.size(), row.result == IDOK ? 0u : 1u);
        if (row.result == IDOK) {
            EXPECT_EQ(dialog->Repeat(), 7);
        } else {
            EXPECT_EQ(dialog->FocusedControl(), dialog->Control(IDC_REPEAT));
        }
    }
}

TEST_F(DialogFixture, EscapeAndCloseCancelWhateverTheCount) {
    Type(IDC_REPEAT, "abc");
    Press(WXK_ESCAPE);
    EXPECT_EQ(dialog->Result(), IDCANCEL);
    EXPECT_TRUE(messages.shown.empty());

    Restart();
    Type(IDC_REPEAT, "abc");
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, dialog->GetId());
    close.SetEventObject(dialog.get());
    dialog->GetEventHandler()->ProcessEvent(close);  // the close box
    EXPECT_EQ(dialog->Result(), IDCANCEL);

    Restart();
    dialog->SysCommand(SC_CLOSE);  // the window menu's Close
    EXPECT_EQ(dialog->Result(), IDCANCEL);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DialogFixture, TabFollowsTheTemplateOrder) {
    const std::vector<int> order = {IDC_SEND, IDC_COMMAND, IDC_LOAD, IDC_STATUS, IDC_COM1,
                                    IDC_COM2, IDC_SENDN,   IDC_REPEAT, IDC_SEND};
    for (std::size_t i = 1; i < order.size(); ++i) {
        Press(WXK_TAB);
        EXPECT_EQ(dialog->FocusedControl(), dialog->Control(order[i])) << "after Tab " << i;
    }
    for (std::size_t i = order.size() - 1; i-- > 0;) {
        Press(WXK_TAB, wxMOD_SHIFT);
        EXPECT_EQ(dialog->FocusedControl(), dialog->Control(order[i])) << "Shift+Tab to " << order[i];
    }
    // Tabbing into a box selects its text, ready to be typed over.
    dialog->Control(IDC_SENDN)->SetFocus();
    Press(WXK_TAB);
    long nFrom = -1;
    long nTo = -1;
    Box(IDC_REPEAT)->GetSelection(&nFrom, &nTo);
    EXPECT_EQ(nFrom, 0);
    EXPECT_EQ(nTo, 1);
}

TEST_F(DialogFixture, TypedCountIsLostToAnotherExchange) {
    Type(IDC_REPEAT, "9");
    Click(IDC_COM1);
    EXPECT_EQ(BoxText(IDC_REPEAT), "5");
    EXPECT_EQ(dialog->Repeat(), 5);
    Type(IDC_REPEAT, "9");
    Click(IDC_SEND);  // a refusal exchanges too
    EXPECT_EQ(BoxText(IDC_REPEAT), "5");
}

TEST_F(DialogFixture, SendNTimesWithZeroSendsNothing) {
    MakeReady();
    Type(IDC_REPEAT, "0");
    Click(IDC_SENDN);
    EXPECT_TRUE(serial.Chars().empty());
    EXPECT_EQ(RepeatPauses(), 0u);
    EXPECT_EQ(dialog->Repeat(), 0);
    EXPECT_EQ(BoxText(IDC_COMMAND), chooser.answer.value());
}

TEST_F(DialogFixture, SendNTimesThreeDatagramsOneSecondApart) {
    MakeReady();
    Type(IDC_REPEAT, "3");
    Click(IDC_SENDN);
    const auto datagrams = SplitDatagrams(serial.Chars());
    ASSERT_EQ(datagrams.size(), 3u) << FormatChars(serial.Chars());
    for (const auto& datagram : datagrams) {
        EXPECT_THAT(datagram, ElementsAre(SeaTalkChar{0x86, true}, SeaTalkChar{0x21, false},
                                          SeaTalkChar{0x01, false}));
    }
    EXPECT_EQ(RepeatPauses(), 3u);
    // The pause follows each pass, the last one included.
    EXPECT_EQ(serial.Sleeps().back(), kRepeatPauseMs);
    EXPECT_EQ(BoxText(IDC_COMMAND), kEcho);
}

TEST_F(DialogFixture, SendNTimesWithABadCountSendsNothing) {
    MakeReady();
    Type(IDC_REPEAT, "61");
    Click(IDC_SENDN);
    EXPECT_TRUE(serial.Chars().empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].strText, "Please enter an integer between 0 and 60.");
    EXPECT_EQ(dialog->Result(), -1);
}

TEST_F(DialogFixture, ScriptDeletedAfterLoadIsReported) {
    const std::string strScript = MakeReady();
    std::remove(strScript.c_str());
    for (int nButton : {IDC_SEND, IDC_SENDN}) {
        SCOPED_TRACE(nButton == IDC_SEND ? "Send" : "Send N times");
        messages.shown.clear();
        Click(nButton);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].strText, "an unnamed file was not found.");
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Stop);
        EXPECT_FALSE(messages.shown[0].bSystemModal);
        EXPECT_EQ(messages.shown[0].strTitle, "ui_dialog_test");
        EXPECT_EQ(messages.shown[0].pOwner, dialog.get());
        EXPECT_EQ(BoxText(IDC_COMMAND), strScript);  // the pass never refreshed it
        EXPECT_EQ(RepeatPauses(), 0u);
        EXPECT_EQ(dialog->Result(), -1);
    }
    EXPECT_TRUE(serial.Chars().empty());
}

TEST_F(DialogFixture, HelpAsksForTheDialogsTopic) {
    Press(WXK_F1, wxMOD_SHIFT);
    Press(WXK_F1, wxMOD_CONTROL);
    Press(WXK_F1, wxMOD_ALT);
    EXPECT_TRUE(help.asked.empty());

    Press(WXK_F1);
    ASSERT_EQ(help.asked.size(), 1u);
    EXPECT_EQ(help.asked[0].first, ExecutablePath() + ".HLP");
    EXPECT_EQ(help.asked[0].second, 0x20000u + 102u);
    EXPECT_TRUE(messages.shown.empty());

    help.bStarts = false;
    Press(WXK_F1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].strText, "Failed to launch help.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.shown[0].strTitle, "ui_dialog_test");
    EXPECT_EQ(dialog->Result(), -1);
}

TEST_F(DialogFixture, WindowMenuEndsWithAbout) {
    const auto& menu = dialog->SystemMenu();
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[0].strText, "Close");
    EXPECT_EQ(menu[0].nId, SC_CLOSE);
    EXPECT_EQ(menu[1].nId, 0u);  // separator
    EXPECT_EQ(menu[2].strText, "&About Vantrell...");
    EXPECT_EQ(menu[2].nId, static_cast<unsigned>(IDM_ABOUT));
}

// What the About box showed while it ran modally over the main dialog.
struct AboutSeen {
    int nRuns = 0;
    std::string strCaption;
    std::vector<std::string> texts;
    bool bOkFocused = false;
    bool bModalOverMain = false;
    std::vector<std::pair<std::string, unsigned long>> help;
};

class AboutFixture : public DialogFixture {
protected:
    // Each About box that opens is looked at and then closed with nKey.
    void CloseAboutWith(int nKey) {
        TemplateDialog::SetModalHook([this, nKey](TemplateDialog& about) {
            ++seen.nRuns;
            seen.strCaption = about.GetTitle().utf8_str().data();
            for (wxWindow* pChild : about.GetChildren()) seen.texts.push_back(pChild->GetLabel().utf8_str().data());
            seen.bOkFocused = about.FocusedControl() == about.Control(IDOK);
            // GTK's modal grab keeps input from every other window of the program.
            seen.bModalOverMain = about.IsModal() && about.GetParent() == dialog.get();
            help.asked.clear();
            Press(about, WXK_F1);
            seen.help = help.asked;
            Press(about, nKey);
        });
    }
    void TearDown() override {
        TemplateDialog::SetModalHook(nullptr);
        DialogFixture::TearDown();
    }
    AboutSeen seen;
};

TEST_F(AboutFixture, OpensFromTheWindowMenu) {
    CloseAboutWith(WXK_RETURN);
    dialog->SysCommand(IDM_ABOUT);
    ASSERT_EQ(seen.nRuns, 1);
    EXPECT_EQ(seen.strCaption, "About Vantrell");
    EXPECT_THAT(seen.texts, ::testing::IsSupersetOf({std::string("Vantrell Version 1.0"),
                                                     std::string("Copyright (C) 2026 The Vantrell Project"),
                                                     std::string("vantrell-dev@example.org"), std::string("OK")}));
    EXPECT_TRUE(seen.bOkFocused);
    EXPECT_TRUE(seen.bModalOverMain);
    ASSERT_EQ(seen.help.size(), 1u);
    EXPECT_EQ(seen.help[0].second, 0x20000u + 100u);
    // Back in the main dialog, nothing changed.
    EXPECT_TRUE(dialog->IsEnabled());
    EXPECT_EQ(dialog->Result(), -1);
    EXPECT_EQ(BoxText(IDC_STATUS), kStart);
}

TEST_F(AboutFixture, EveryCommandOfItsGroupOpensAboutAndAnyKeyClosesIt) {
    CloseAboutWith(WXK_ESCAPE);
    for (unsigned nId = 16; nId <= 31; ++nId) dialog->SysCommand(nId);
    EXPECT_EQ(seen.nRuns, 16);
    dialog->SysCommand(32);  // another command: nothing opens
    EXPECT_EQ(seen.nRuns, 16);
    EXPECT_EQ(dialog->Result(), -1);
}

}  // namespace
}  // namespace vantrell::test
