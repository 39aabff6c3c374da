// The program's dialog templates and string resources.
//
// Positions and sizes are in dialog units. The caption, footer, notice and
// contact texts come from ProjectInfo.h. Three static texts are wider than
// the classic layout gave them: the project's name and address are longer
// than a person's, and a text must not be cut off.
#include <string>

#include "DialogTemplate.h"
#include "ProjectInfo.h"
#include "Resource.h"

namespace vantrell {
namespace {

std::string Str(const char* psz) { return psz; }

const DialogTemplate& MainTemplate() {
    static const DialogTemplate dlg{
        IDD_MAIN,
        Str(kProductName) + "  (c) " + kAuthor + " " + kYear + "  " + kContact,
        266, 146, 8, "MS Sans Serif",
        {
            {IDC_SEND, ControlKind::PushButton, "Send ", 14, 75, 61, 14, kTabStop},
            {IDC_COMMAND, ControlKind::Edit, "", 87, 36, 159, 14, kReadOnly | kAutoHScroll | kBorder | kTabStop},
            {IDC_LOAD, ControlKind::PushButton, "Load", 14, 54, 62, 14, kTabStop},
            {IDC_STATIC, ControlKind::Static, "Sea Talk Status :", 20, 15, 52, 8, kGroup},
            {IDC_STATUS, ControlKind::Edit, "", 87, 13, 159, 14, kReadOnly | kAutoHScroll | kBorder | kTabStop},
            {IDC_COM1, ControlKind::PushButton, "Com1", 121, 91, 50, 14, kTabStop},
            {IDC_COM2, ControlKind::PushButton, "Com2", 185, 91, 50, 14, kTabStop},
            {IDC_STATIC, ControlKind::GroupBox, "Sea Talk Ports", 103, 76, 147, 40, 0},
            {IDC_STATIC, ControlKind::Static, Str(kAuthor) + ", " + kContact, 33, 131, 200, 8, kGroup},
            {IDC_STATIC, ControlKind::GroupBox, "SeaTalk Command", 7, 37, 78, 81, 0},
            {IDC_SENDN, ControlKind::PushButton, "Send N times", 13, 95, 45, 14, kTabStop},
            {IDC_REPEAT, ControlKind::Edit, "", 62, 95, 11, 14, kAutoHScroll | kBorder | kTabStop},
        }};
    return dlg;
}

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate dlg{
        IDD_ABOUT,
        "About Vantrell",
        217, 55, 8, "MS Sans Serif",
        {
            {IDC_STATIC, ControlKind::Icon, "", 11, 17, 20, 20, 0},
            {IDC_STATIC, ControlKind::Static, kVersionText, 40, 8, 119, 8, kNoPrefix | kGroup},
            {IDC_STATIC, ControlKind::Static, Str("Copyright (C) ") + kYear + " " + kAuthor, 40, 19, 136, 8, kGroup},
            {IDOK, ControlKind::DefPushButton, "OK", 178, 7, 32, 14, kGroup | kTabStop},
            {IDC_STATIC, ControlKind::Static, kContact, 40, 32, 119, 8, kGroup},
        }};
    return dlg;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int nId) {
    switch (nId) {
        case IDD_MAIN: return &MainTemplate();
        case IDD_ABOUT: return &AboutTemplate();
        default: return nullptr;
    }
}

std::string LoadResourceString(int nId) {
    switch (nId) {
        case IDS_ABOUTMENU: return "&About Vantrell...";
        default: return {};
    }
}

}  // namespace vantrell
