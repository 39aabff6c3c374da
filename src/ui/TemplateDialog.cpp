#include "TemplateDialog.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "AppIcon.h"
#include "AppInfo.h"
#include "DataExchange.h"
#include "Resource.h"
#include "UiText.h"

namespace vantrell {
namespace {

std::vector<TemplateDialog*>& OpenDialogs() {
    static std::vector<TemplateDialog*> dialogs;
    return dialogs;
}

std::function<void(TemplateDialog&)>& ModalHook() {
    static std::function<void(TemplateDialog&)> hook;
    return hook;
}

// GTK knows which widget of a window holds the focus even when the window
// manager has not activated the window; wx only tracks activated ones. The
// symbol comes with the GTK that wx has already loaded.
void* GtkFocusWidget(void* pGtkWindow) {
    using GetFocusFn = void* (*)(void*);
    static const GetFocusFn getFocus = [] {
        GetFocusFn fn = nullptr;
        void* pSymbol = dlsym(RTLD_DEFAULT, "gtk_window_get_focus");
        static_assert(sizeof(fn) == sizeof(pSymbol), "function and data pointers differ");
        std::memcpy(&fn, &pSymbol, sizeof(fn));
        return fn;
    }();
    return getFocus != nullptr && pGtkWindow != nullptr ? getFocus(pGtkWindow) : nullptr;
}

constexpr int kFirstMenuItemId = 0x7000;

// GTK's text boxes and buttons pad themselves for a finger-friendly theme;
// a dialog laid out in dialog units needs the classic thin borders, or a
// box 11 units wide shows no digit at all.
class DialogEdit final : public wxTextCtrl {
public:
    using wxTextCtrl::wxTextCtrl;
    void Compact() { GTKApplyCssStyle("* { padding: 0 2px; min-height: 0; }"); }
};

class DialogButton final : public wxButton {
public:
    using wxButton::wxButton;
    void Compact() { GTKApplyCssStyle("* { padding: 0 2px; min-height: 0; }"); }
};

}  // namespace

int MulDivRound(int nValue, int nNumerator, int nDenominator) {
    const long long nProduct = static_cast<long long>(nValue) * nNumerator;
    const long long nHalf = nDenominator / 2;
    return static_cast<int>(nProduct >= 0 ? (nProduct + nHalf) / nDenominator : (nProduct - nHalf) / nDenominator);
}

DialogBaseUnits BaseUnitsFromExtent(int nTextWidth, int nTextHeight) {
    return DialogBaseUnits{(nTextWidth / 26 + 1) / 2, nTextHeight};
}

TemplateDialog::TemplateDialog(int nIdTemplate, UiServices& services, wxWindow* pParent)
    : m_services(services), m_nIdTemplate(nIdTemplate), m_pParentWindow(pParent) {}

TemplateDialog::~TemplateDialog() {
    auto& dialogs = OpenDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

TemplateDialog* TemplateDialog::ActiveDialog() {
    const auto& dialogs = OpenDialogs();
    return dialogs.empty() ? nullptr : dialogs.back();
}

void TemplateDialog::SetModalHook(std::function<void(TemplateDialog&)> hook) { ModalHook() = std::move(hook); }

bool TemplateDialog::Create() {
    const DialogTemplate* pTemplate = FindDialogTemplate(m_nIdTemplate);
    if (pTemplate == nullptr || m_bCreated) return false;

    // No minimise or maximise box and a fixed size: a modal frame.
    long nStyle = wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX;
    if (m_pParentWindow == nullptr) nStyle |= wxDIALOG_NO_PARENT;
    if (!wxDialog::Create(m_pParentWindow, wxID_ANY, ToWx(pTemplate->strCaption), wxDefaultPosition,
                          wxDefaultSize, nStyle)) {
        return false;
    }
    m_bCreated = true;
    OpenDialogs().push_back(this);

    const wxFont font(wxFontInfo(pTemplate->nPointSize).FaceName(ToWx(pTemplate->strFace)));
    SetFont(font);
    {
        wxClientDC dc(this);
        dc.SetFont(font);
        wxCoord nWidth = 0;
        wxCoord nHeight = 0;
        dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &nWidth, &nHeight);
        m_baseUnits = BaseUnitsFromExtent(nWidth, nHeight);
    }
    SetClientSize(ToPixels(0, 0, pTemplate->cx, pTemplate->cy).GetSize());

    for (const ControlTemplate& control : pTemplate->controls) CreateControl(control);

    Bind(wxEVT_CHAR_HOOK, &TemplateDialog::OnCharHook, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) { IssueCommand(event.GetId(), CommandOrigin::Control); });
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
        // wx menu ids stop below 0x7FFF, and window-menu commands such as
        // Close (0xF060) lie above: the popup numbers its items instead.
        const int nIndex = event.GetId() - kFirstMenuItemId;
        if (nIndex >= 0 && static_cast<std::size_t>(nIndex) < m_systemMenu.size()) {
            SysCommand(m_systemMenu[static_cast<std::size_t>(nIndex)].nId);
        }
    });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { SysCommand(SC_CLOSE); });
    Bind(wxEVT_RIGHT_UP, [this](wxMouseEvent& event) { ShowSystemMenu(event.GetPosition()); });

    m_systemMenu = {{SC_CLOSE, "Close"}};
    bool bFocusFirst = true;
    Guarded(CommandOrigin::Other, [this, &bFocusFirst] { bFocusFirst = OnInitDialog(); });
    if (bFocusFirst) {
        for (wxWindow* pStop : m_tabStops) {
            if (pStop->IsEnabled()) {
                pStop->SetFocus();
                break;
            }
        }
    }
    if (m_pParentWindow != nullptr) {
        CentreOnParent();
    } else {
        CentreOnScreen();
    }
    return true;
}

int TemplateDialog::DoModal() {
    if (!Create()) return -1;
    if (ModalHook()) {
        CallAfter([this] {
            const auto hook = ModalHook();
            if (hook) hook(*this);
        });
    }
    ShowModal();
    return m_nResult;
}

void TemplateDialog::CreateControl(const ControlTemplate& control) {
    const wxRect rect = ToPixels(control.x, control.y, control.cx, control.cy);
    const wxWindowID nId = control.nId >= 0 ? control.nId : wxID_ANY;
    const wxString text = ToWx(control.strText);
    wxWindow* pWindow = nullptr;
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* pButton = new DialogButton(this, nId, text, rect.GetPosition(), rect.GetSize(), wxBU_EXACTFIT);
            pButton->Compact();
            if (control.kind == ControlKind::DefPushButton) pButton->SetDefault();
            pWindow = pButton;
            break;
        }
        case ControlKind::Edit: {
            long nStyle = 0;
            if ((control.nStyle & kReadOnly) != 0) nStyle |= wxTE_READONLY;
            if ((control.nStyle & kBorder) == 0) nStyle |= wxBORDER_NONE;
            auto* pBox = new DialogEdit(this, nId, text, rect.GetPosition(), rect.GetSize(), nStyle);
            pBox->Compact();
            pWindow = pBox;
            break;
        }
        case ControlKind::Static: {
            auto* pStatic = new wxStaticText(this, nId, wxEmptyString, rect.GetPosition(), rect.GetSize(),
                                             wxALIGN_LEFT | wxST_NO_AUTORESIZE);
            if ((control.nStyle & kNoPrefix) != 0) {
                pStatic->SetLabelText(text);
            } else {
                pStatic->SetLabel(text);
            }
            pWindow = pStatic;
            break;
        }
        case ControlKind::GroupBox:
            pWindow = new wxStaticBox(this, nId, text, rect.GetPosition(), rect.GetSize());
            break;
        case ControlKind::Icon: {
            const wxBitmap icon = AppIconBitmap();
            pWindow = new wxStaticBitmap(this, nId, icon, rect.GetPosition(), icon.GetSize());
            break;
        }
    }
    pWindow->SetFont(GetFont());
    if (control.nId >= 0) m_controls[control.nId] = pWindow;
    if ((control.nStyle & kTabStop) != 0) m_tabStops.push_back(pWindow);
}

wxRect TemplateDialog::ToPixels(int x, int y, int cx, int cy) const {
    return wxRect(MulDivRound(x, m_baseUnits.cx, 4), MulDivRound(y, m_baseUnits.cy, 8),
                  MulDivRound(cx, m_baseUnits.cx, 4), MulDivRound(cy, m_baseUnits.cy, 8));
}

wxWindow* TemplateDialog::Control(int nId) const {
    const auto it = m_controls.find(nId);
    return it == m_controls.end() ? nullptr : it->second;
}

wxWindow* TemplateDialog::FocusedControl() const {
    if (void* pWidget = GtkFocusWidget(GetHandle())) {
        for (wxWindow* pChild : GetChildren()) {
            if (pChild->GetHandle() == pWidget) return pChild;
        }
        return nullptr;
    }
    wxWindow* pFocus = wxWindow::FindFocus();
    return pFocus != nullptr && pFocus->GetParent() == this ? pFocus : nullptr;
}

void TemplateDialog::EndDialog(int nResult) {
    m_nResult = nResult;
    if (IsModal()) {
        EndModal(nResult);
    } else {
        Hide();
    }
}

bool TemplateDialog::UpdateData(bool bSaveAndValidate) {
    DataExchange dx(*this, bSaveAndValidate);
    try {
        DoDataExchange(dx);
    } catch (const UserException&) {
        return false;
    }
    return true;
}

bool TemplateDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void TemplateDialog::DoDataExchange(DataExchange& dx) { static_cast<void>(dx); }

void TemplateDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void TemplateDialog::OnCancel() { EndDialog(IDCANCEL); }

void TemplateDialog::OnSysCommand(unsigned nId) {
    if ((nId & kSysCommandMask) == SC_CLOSE) OnCancel();
}

void TemplateDialog::OnCommand(int nId) { static_cast<void>(nId); }

void TemplateDialog::Guarded(CommandOrigin origin, const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
        ReportException(std::current_exception(), origin, *m_services.pMessages, this);
    }
}

void TemplateDialog::IssueCommand(int nId, CommandOrigin origin) {
    Guarded(origin, [this, nId] {
        if (nId == IDOK) {
            OnOK();
        } else if (nId == IDCANCEL) {
            OnCancel();
        } else {
            OnCommand(nId);
        }
    });
}

void TemplateDialog::SysCommand(unsigned nId) {
    Guarded(CommandOrigin::Other, [this, nId] { OnSysCommand(nId); });
}

void TemplateDialog::ShowSystemMenu(const wxPoint& pos) {
    wxMenu menu;
    for (std::size_t i = 0; i < m_systemMenu.size(); ++i) {
        if (m_systemMenu[i].nId == 0) {
            menu.AppendSeparator();
        } else {
            menu.Append(kFirstMenuItemId + static_cast<int>(i), ToWx(m_systemMenu[i].strText));
        }
    }
    PopupMenu(&menu, pos);
}

void TemplateDialog::MoveFocus(bool bForward) {
    const std::size_t nCount = m_tabStops.size();
    if (nCount == 0) return;
    const auto it = std::find(m_tabStops.begin(), m_tabStops.end(), FocusedControl());
    std::size_t nAt = it == m_tabStops.end() ? (bForward ? nCount - 1 : 0)
                                              : static_cast<std::size_t>(it - m_tabStops.begin());
    for (std::size_t nStep = 0; nStep < nCount; ++nStep) {
        nAt = bForward ? (nAt + 1) % nCount : (nAt + nCount - 1) % nCount;
        wxWindow* pStop = m_tabStops[nAt];
        if (pStop->IsEnabled() && pStop->IsShown()) {
            pStop->SetFocus();
            // Tabbing into a text box selects its text, ready to be typed over.
            if (auto* pBox = dynamic_cast<wxTextCtrl*>(pStop)) pBox->SelectAll();
            return;
        }
    }
}

void TemplateDialog::OnHelpKey() {
    Guarded(CommandOrigin::Other, [this] {
        TemplateDialog* pActive = ActiveDialog() != nullptr ? ActiveDialog() : this;
        const unsigned long nTopic = kHelpTopicBase + static_cast<unsigned long>(pActive->TemplateId());
        if (m_services.pHelp->ShowTopic(AppHelpFile(), nTopic)) return;
        MessageRequest request;
        request.pOwner = pActive;
        request.strTitle = AppTitle();
        request.strText = "Failed to launch help.";
        request.icon = MessageIcon::Exclamation;
        m_services.pMessages->Show(request);
    });
}

bool TemplateDialog::HandleDialogKey(int nKeyCode, int nModifiers) {
    const bool bShift = (nModifiers & wxMOD_SHIFT) != 0;
    const bool bCtrl = (nModifiers & wxMOD_CONTROL) != 0;
    const bool bAlt = (nModifiers & wxMOD_ALT) != 0;
    switch (nKeyCode) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            if (auto* pButton = dynamic_cast<wxButton*>(FocusedControl())) {
                wxCommandEvent click(wxEVT_BUTTON, pButton->GetId());
                click.SetEventObject(pButton);
                pButton->HandleWindowEvent(click);
            } else {
                IssueCommand(IDOK, CommandOrigin::Other);
            }
            return true;
        case WXK_ESCAPE:
            IssueCommand(IDCANCEL, CommandOrigin::Other);
            return true;
        case WXK_TAB:
            if (bCtrl || bAlt) return false;
            MoveFocus(!bShift);
            return true;
        case WXK_F1:
            if (!bShift && !bCtrl && !bAlt) OnHelpKey();
            return true;
        case WXK_SPACE:
            if (!bAlt || bCtrl || bShift) return false;
            ShowSystemMenu(wxPoint(0, 0));
            return true;
        case WXK_F10:
            if (!bShift || bCtrl || bAlt) return false;
            ShowSystemMenu(wxPoint(0, 0));
            return true;
        case WXK_MENU:
        case WXK_WINDOWS_MENU:
            ShowSystemMenu(wxPoint(0, 0));
            return true;
        default:
            return false;
    }
}

void TemplateDialog::OnCharHook(wxKeyEvent& event) {
    if (!HandleDialogKey(event.GetKeyCode(), event.GetModifiers())) event.Skip();
}

}  // namespace vantrell
