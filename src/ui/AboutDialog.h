// CAboutDialog: names the product, its version and its maker. It holds no
// state and changes nothing; OK, Enter, Esc and the close box all end it.
#pragma once

#include "TemplateDialog.h"

namespace vantrell {

class CAboutDialog : public TemplateDialog {
public:
    // pParent is the dialog the box is centred over and disables while it runs.
    CAboutDialog(UiServices& services, wxWindow* pParent);
    ~CAboutDialog() override;
};

}  // namespace vantrell
