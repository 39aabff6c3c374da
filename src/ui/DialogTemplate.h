// Dialog templates: a dialog described as data, the way the program's
// resources describe its two windows.
//
// A template is a table of controls, each with its identifier, kind, text,
// position and size in dialog units, and styles. TemplateDialog builds the
// window from it: template order is creation order and tab order. Dialog
// units follow the dialog's font, so the layout scales with whatever face
// fontconfig puts in place of the font the template asks for.
#pragma once

#include <string>
#include <vector>

namespace vantrell {

enum class ControlKind {
    PushButton,
    DefPushButton,  // the button Enter clicks when no other button has the focus
    Edit,           // single-line text box
    Static,         // left-aligned text
    GroupBox,       // a labelled frame around other controls; frames only
    Icon,           // the application icon, at its own size
};

enum ControlStyle : unsigned {
    kTabStop = 1u << 0,
    kGroup = 1u << 1,
    kReadOnly = 1u << 2,
    kAutoHScroll = 1u << 3,
    kBorder = 1u << 4,
    kNoPrefix = 1u << 5,  // '&' is shown, not taken as a mnemonic
};

struct ControlTemplate {
    int nId;
    ControlKind kind;
    std::string strText;
    int x, y, cx, cy;  // dialog units
    unsigned nStyle;
};

struct DialogTemplate {
    int nId;
    std::string strCaption;
    int cx, cy;  // client area, dialog units
    int nPointSize;
    std::string strFace;
    std::vector<ControlTemplate> controls;
};

// The template with identifier nId, or null when the program has none.
const DialogTemplate* FindDialogTemplate(int nId);

// The string resource nId, or empty text when there is none.
std::string LoadResourceString(int nId);

}  // namespace vantrell
