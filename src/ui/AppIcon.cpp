#include "AppIcon.h"

#include <wx/icon.h>

#include "../res/AppIcon16.xpm"
#include "../res/AppIcon32.xpm"

namespace vantrell {

wxIconBundle AppIconBundle() {
    wxIconBundle bundle;
    bundle.AddIcon(wxIcon(appicon32_xpm));
    bundle.AddIcon(wxIcon(appicon16_xpm));
    return bundle;
}

wxBitmap AppIconBitmap() { return wxBitmap(appicon32_xpm); }

wxPoint IconPosition(int nClientWidth, int nClientHeight, int cxIcon, int cyIcon) {
    // C++ division truncates toward zero: (-1) / 2 is 0, as wanted.
    return wxPoint((nClientWidth - cxIcon + 1) / 2, (nClientHeight - cyIcon + 1) / 2);
}

}  // namespace vantrell
