// TemplateDialog: the program's modal dialog on wxWidgets, built from a
// DialogTemplate and behaving the way dialogs of the original platform do.
//
// What it adds to wxDialog:
// - controls created from the template, laid out in dialog units of the
//   dialog's font;
// - the dialog keyboard rules, taken before any control sees the key:
//   Enter clicks the focused push button and otherwise issues IDOK (also
//   when no OK button exists); Esc issues IDCANCEL; Tab and Shift+Tab walk
//   the template's tab stops; F1 asks for help; Alt+Space, Shift+F10 and
//   the Menu key open the window menu;
// - the window menu, the dialog's own since a Linux window manager keeps
//   the title bar's menu to itself: "Close" and whatever a dialog appends.
//   A right click on the background opens it too. Its commands, the close
//   box's included, go to OnSysCommand;
// - IDOK runs the control read and ends the dialog only when that
//   succeeds; IDCANCEL ends it at once;
// - every handler runs inside the exception report.
//
// A dialog is created and initialised by DoModal, or by Create alone when
// a test drives it without a modal loop; EndDialog then only records the
// result and hides the window.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "DialogTemplate.h"
#include "ExceptionReport.h"
#include "UiServices.h"

class wxMenu;

namespace vantrell {

class DataExchange;

// Pixels per dialog unit, from the dialog font: a quarter of the average
// character width and an eighth of the character height.
struct DialogBaseUnits {
    int cx = 0;  // average character width, pixels
    int cy = 0;  // character height, pixels
};

// nValue * nNumerator / nDenominator, rounded half away from zero.
int MulDivRound(int nValue, int nNumerator, int nDenominator);

// The base units for text of nTextWidth pixels over the 52 letters
// A..Z a..z and nTextHeight pixels high.
DialogBaseUnits BaseUnitsFromExtent(int nTextWidth, int nTextHeight);

struct SystemMenuItem {
    unsigned nId = 0;  // 0: a separator
    std::string strText;
};

class TemplateDialog : public wxDialog {
public:
    TemplateDialog(int nIdTemplate, UiServices& services, wxWindow* pParent);
    ~TemplateDialog() override;

    // Creates the window, runs it modally, and returns IDOK or IDCANCEL;
    // -1 when the window could not be created.
    int DoModal();
    // Creates the window and its controls and runs the initialisation,
    // without showing it. False when the template does not exist.
    bool Create();
    // Ends the dialog with nResult (modal run) or records it and hides.
    void EndDialog(int nResult);
    // The result EndDialog recorded, -1 while the dialog runs.
    int Result() const { return m_nResult; }

    // Runs the data exchange; bSaveAndValidate reads the controls. False
    // when the read refused a value (the user has been told).
    bool UpdateData(bool bSaveAndValidate = true);

    int TemplateId() const { return m_nIdTemplate; }
    wxWindow* Control(int nId) const;
    // The control that holds the keyboard focus inside this dialog, also
    // while the window manager has given the dialog itself no focus.
    wxWindow* FocusedControl() const;
    // The template's tab stops, in order.
    const std::vector<wxWindow*>& TabStops() const { return m_tabStops; }
    const DialogBaseUnits& BaseUnits() const { return m_baseUnits; }
    UiServices& Services() const { return m_services; }

    // The keyboard rules. True when the key was taken; false lets the
    // focused control have it. Public so tests can press keys.
    bool HandleDialogKey(int nKeyCode, int nModifiers);

    // The window menu as it stands; dialogs append in OnInitDialog.
    std::vector<SystemMenuItem>& SystemMenu() { return m_systemMenu; }
    // Opens the window menu at pos (client coordinates) and waits for it.
    void ShowSystemMenu(const wxPoint& pos);

    // A window-menu command, as the menu, a key or the close box issue it.
    void SysCommand(unsigned nId);
    // A command, IDOK, IDCANCEL or a button, inside the exception report.
    void IssueCommand(int nId, CommandOrigin origin);

    // The innermost dialog still open: owner of message boxes and of help.
    static TemplateDialog* ActiveDialog();

    // Tests: called once the modal loop of every dialog runs.
    static void SetModalHook(std::function<void(TemplateDialog&)> hook);

protected:
    // Runs once, after the controls exist and before the window shows.
    // True puts the focus on the first tab stop.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    virtual void OnOK();
    virtual void OnCancel();
    // Any window-menu command; the default makes Close issue IDCANCEL.
    virtual void OnSysCommand(unsigned nId);
    // A command from a control or key that is not IDOK or IDCANCEL.
    virtual void OnCommand(int nId);

    // Runs fn inside the exception report.
    void Guarded(CommandOrigin origin, const std::function<void()>& fn);

    UiServices& m_services;

private:
    void CreateControl(const ControlTemplate& control);
    wxRect ToPixels(int x, int y, int cx, int cy) const;
    void MoveFocus(bool bForward);
    void OnHelpKey();
    void OnCharHook(wxKeyEvent& event);

    const int m_nIdTemplate;
    wxWindow* m_pParentWindow;
    bool m_bCreated = false;
    int m_nResult = -1;
    DialogBaseUnits m_baseUnits;
    std::map<int, wxWindow*> m_controls;
    std::vector<wxWindow*> m_tabStops;
    std::vector<SystemMenuItem> m_systemMenu;
};

}  // namespace vantrell
