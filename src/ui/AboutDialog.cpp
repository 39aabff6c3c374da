#include "AboutDialog.h"

#include "Resource.h"

namespace vantrell {

CAboutDialog::CAboutDialog(UiServices& services, wxWindow* pParent) : TemplateDialog(IDD_ABOUT, services, pParent) {}

CAboutDialog::~CAboutDialog() = default;

}  // namespace vantrell
