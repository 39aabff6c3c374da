// The application icon IDR_APPICON, in its two sizes, and where it goes
// when the minimised window is painted.
#pragma once

#include <wx/bitmap.h>
#include <wx/gdicmn.h>
#include <wx/iconbndl.h>

namespace vantrell {

// Both pictures, 32 x 32 and 16 x 16: the window's big and small icon.
wxIconBundle AppIconBundle();
// The 32 x 32 picture.
wxBitmap AppIconBitmap();

// Where an icon of cxIcon x cyIcon goes in a client area of nClientWidth x
// nClientHeight: centred, rounding up, with the division truncating toward
// zero, so a client one pixel narrower than the icon still gives 0.
wxPoint IconPosition(int nClientWidth, int nClientHeight, int cxIcon, int cyIcon);

}  // namespace vantrell
