#include "SenderDialog.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

#include "AboutDialog.h"
#include "AppIcon.h"
#include "DataExchange.h"
#include "Resource.h"
#include "SeaTalkPort.h"
#include "Sleeper.h"

namespace vantrell {

CSenderDialog::CSenderDialog(UiServices& services, wxWindow* pParent)
    : TemplateDialog(IDD_MAIN, services, pParent), m_hIcon(AppIconBundle()) {}

// The port object goes with the dialog; the program ends right after, so
// this closes the port no earlier than the process end would.
CSenderDialog::~CSenderDialog() = default;

void CSenderDialog::DoDataExchange(DataExchange& dx) {
    dx.Text(IDC_STATUS, m_strStatus);
    dx.Text(IDC_COMMAND, m_strCommand);
    dx.Int(IDC_REPEAT, m_nRepeat);
    dx.Range(m_nRepeat, kRepeatMin, kRepeatMax);
}

bool CSenderDialog::OnInitDialog() {
    TemplateDialog::OnInitDialog();

    const std::string strAboutMenu = LoadResourceString(IDS_ABOUTMENU);
    if (!strAboutMenu.empty()) {
        SystemMenu().push_back({0, {}});
        SystemMenu().push_back({IDM_ABOUT, strAboutMenu});
    }
    SetIcons(m_hIcon);
    Bind(wxEVT_PAINT, &CSenderDialog::OnPaint, this);

    m_strStatus = kTextStatusStart;
    UpdateData(false);
    m_pPort.reset();
    m_strScriptPath.clear();
    m_nRepeat = 5;
    UpdateData(false);
    return true;
}

void CSenderDialog::OnSysCommand(unsigned nId) {
    if ((nId & kSysCommandMask) == IDM_ABOUT) {
        CAboutDialog about(m_services, this);
        about.DoModal();
    } else {
        TemplateDialog::OnSysCommand(nId);
    }
}

void CSenderDialog::OnCommand(int nId) {
    switch (nId) {
        case IDC_COM1: OnCom1(); break;
        case IDC_COM2: OnCom2(); break;
        case IDC_SEND: OnSend(); break;
        case IDC_LOAD: OnLoad(); break;
        case IDC_SENDN: OnSendNTimes(); break;
        default: TemplateDialog::OnCommand(nId); break;
    }
}

void CSenderDialog::OnPaint(wxPaintEvent& event) {
    if (!IsIconized()) {
        event.Skip();
        return;
    }
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
    dc.Clear();
    const wxBitmap icon = AppIconBitmap();
    const wxSize client = GetClientSize();
    dc.DrawBitmap(icon, IconPosition(client.x, client.y, icon.GetWidth(), icon.GetHeight()), true);
}

void CSenderDialog::OpenComPort(const char* pszPortName, const char* pszOpened, const char* pszFailed) {
    // The old port closes before the new one opens, so reopening the same
    // port is not blocked by its own earlier open.
    m_pPort.reset();
    m_pPort = m_services.portFactory();
    m_strStatus = m_pPort->OpenPort(pszPortName) != 0 ? pszOpened : pszFailed;
    UpdateData(false);
}

void CSenderDialog::OnCom1() {
    OpenComPort("COM1", "Ready -> Com1 Port OPEN", "Error -> Can't open selected COM1");
}

void CSenderDialog::OnCom2() {
    OpenComPort("COM2", "Ready -> Com2 Port OPEN", "Error -> Can't open selected COM2");
}

void CSenderDialog::OnLoad() {
    FileChooserRequest request;
    request.pOwner = this;
    request.strFilter = kScriptFilter;
    request.strDefaultExt = "id";
    request.strInitialName = "*.ray";
    request.bMustExist = true;
    std::string strPath;
    if (m_services.pChooser->ChooseOpenFile(request, strPath)) {
        m_strScriptPath = strPath;
        m_strCommand = strPath;
    }
    UpdateData(false);
}

void CSenderDialog::OnSend() { SendScript(m_strScriptPath); }

void CSenderDialog::OnSendNTimes() {
    // The refusals come before the count is read: a refused request never
    // complains about the repeat box.
    if (m_pPort == nullptr || !m_pPort->IsOpen()) {
        m_strCommand = kTextPortClosed;
        UpdateData(false);
        return;
    }
    if (m_strScriptPath.empty()) {
        m_strCommand = kTextFirstLoad;
        UpdateData(false);
        return;
    }
    if (!UpdateData(true)) return;
    for (int i = 0; i < m_nRepeat; ++i) {
        if (SendScript(m_strScriptPath).outcome != PassResult::Outcome::Sent) return;
        m_services.pSleeper->SleepMs(kRepeatPauseMs);
    }
}

void CSenderDialog::UpdateControls() { UpdateData(false); }

}  // namespace vantrell
