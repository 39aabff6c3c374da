// Identifiers of the program's resources: dialog templates, controls, the
// icon, the window-menu string and command, and the dialog commands.
//
// The numbers are the program's own and stay fixed: the help topics are
// derived from the template numbers, and the window-menu handling masks
// command numbers the way the About command expects.
#pragma once

namespace vantrell {

enum ResourceId : int {
    // Dialog commands every dialog understands, with or without a button.
    IDOK = 1,
    IDCANCEL = 2,

    // The window-menu About command; every id 16..31 masks to it.
    IDM_ABOUT = 0x0010,

    // Dialog templates.
    IDD_ABOUT = 100,
    IDD_MAIN = 102,

    // The window-menu string "&About Vantrell...".
    IDS_ABOUTMENU = 101,

    // The application icon.
    IDR_APPICON = 128,

    // Controls of IDD_MAIN.
    IDC_SEND = 1000,
    IDC_COMMAND = 1001,
    IDC_LOAD = 1002,
    IDC_STATUS = 1003,
    IDC_COM1 = 1004,
    IDC_COM2 = 1005,
    IDC_SENDN = 1007,
    IDC_REPEAT = 1008,

    // A static control nobody addresses.
    IDC_STATIC = -1,
};

// Window-menu commands as the window system numbers them; only the high
// twelve bits name the command, the low four are the system's own.
inline constexpr unsigned kSysCommandMask = 0xFFF0;
inline constexpr unsigned SC_CLOSE = 0xF060;

// Help topics are the template number plus this base.
inline constexpr unsigned long kHelpTopicBase = 0x20000;

}  // namespace vantrell
