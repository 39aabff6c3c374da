#include "UiText.h"

namespace vantrell {

wxString ToWx(const std::string& str) {
    wxString text = wxString::FromUTF8(str.data(), str.size());
    if (text.empty() && !str.empty()) {
        // Not UTF-8: every byte maps to the code point of the same value.
        text = wxString(str.data(), wxConvISO8859_1, str.size());
    }
    return text;
}

std::string FromWx(const wxString& str) {
    const wxScopedCharBuffer utf8 = str.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace vantrell
