// Byte strings in, wx text out, and back.
//
// The program's fields are byte strings: a script path or an echo can hold
// any bytes. Shown in a control they become wxString, read as UTF-8 when
// they are valid UTF-8 and as Latin-1 otherwise, so one stray byte never
// blanks the whole text. Reading a control back gives UTF-8.
#pragma once

#include <string>

#include <wx/string.h>

namespace vantrell {

wxString ToWx(const std::string& str);
std::string FromWx(const wxString& str);

}  // namespace vantrell
