#include "DataExchange.h"

#include <climits>
#include <cstdint>

#include <wx/textctrl.h>

#include "AppInfo.h"
#include "ExceptionReport.h"
#include "TemplateDialog.h"
#include "UiText.h"

namespace vantrell {

std::optional<int> ParseDialogInteger(const std::string& strText) {
    const std::string strHead = strText.substr(0, 31);
    const auto isBlank = [](char ch) { return ch == ' ' || ch == '\t'; };
    std::size_t i = 0;
    std::size_t nEnd = strHead.size();
    while (i < nEnd && isBlank(strHead[i])) ++i;
    while (nEnd > i && isBlank(strHead[nEnd - 1])) --nEnd;
    if (i == nEnd) return std::nullopt;

    const bool bZeroAllowed = strHead[i] == '0';
    bool bNegative = false;
    if (strHead[i] == '+' || strHead[i] == '-') {
        bNegative = strHead[i] == '-';
        ++i;
    }
    if (i == nEnd) return std::nullopt;

    // At most 31 digits: accumulate with a ceiling so nothing overflows.
    constexpr std::int64_t kCeiling = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t nMagnitude = 0;
    for (; i < nEnd; ++i) {
        const char ch = strHead[i];
        if (ch < '0' || ch > '9') return std::nullopt;
        nMagnitude = std::min<std::int64_t>(nMagnitude * 10 + (ch - '0'), kCeiling);
    }
    if (nMagnitude == 0 && !bZeroAllowed) return std::nullopt;
    const std::int64_t nValue = bNegative ? -nMagnitude : std::min<std::int64_t>(nMagnitude, INT_MAX);
    return static_cast<int>(nValue);
}

std::string FormatMessage2(const std::string& strFormat, int nFirst, int nSecond) {
    std::string strOut;
    for (std::size_t i = 0; i < strFormat.size(); ++i) {
        if (strFormat[i] == '%' && i + 1 < strFormat.size() && (strFormat[i + 1] == '1' || strFormat[i + 1] == '2')) {
            strOut += std::to_string(strFormat[i + 1] == '1' ? nFirst : nSecond);
            ++i;
        } else {
            strOut += strFormat[i];
        }
    }
    return strOut;
}

DataExchange::DataExchange(TemplateDialog& dialog, bool bSaveAndValidate)
    : m_dialog(dialog), m_bSaveAndValidate(bSaveAndValidate) {}

void DataExchange::Text(int nIdc, std::string& strValue) {
    m_nLastIdc = nIdc;
    auto* pBox = dynamic_cast<wxTextCtrl*>(m_dialog.Control(nIdc));
    if (pBox == nullptr) return;
    const wxString shown = ToWx(strValue);
    if (m_bSaveAndValidate) {
        const wxString text = pBox->GetValue();
        if (text != shown) strValue = FromWx(text);
    } else if (pBox->GetValue() != shown) {
        pBox->ChangeValue(shown);
    }
}

void DataExchange::Int(int nIdc, int& nValue) {
    m_nLastIdc = nIdc;
    auto* pBox = dynamic_cast<wxTextCtrl*>(m_dialog.Control(nIdc));
    if (pBox == nullptr) return;
    if (!m_bSaveAndValidate) {
        const wxString shown = wxString::Format("%d", nValue);
        if (pBox->GetValue() != shown) pBox->ChangeValue(shown);
        return;
    }
    const std::optional<int> value = ParseDialogInteger(FromWx(pBox->GetValue()));
    if (!value) Fail(kTextEnterInteger);
    nValue = *value;
}

void DataExchange::Range(int nValue, int nMin, int nMax) {
    if (!m_bSaveAndValidate) return;
    if (nValue < nMin || nValue > nMax) Fail(FormatMessage2(kTextEnterIntegerRange, nMin, nMax));
}

void DataExchange::Fail(const std::string& strMessage) {
    MessageRequest request;
    request.pOwner = &m_dialog;
    request.strTitle = AppTitle();
    request.strText = strMessage;
    request.icon = MessageIcon::Exclamation;
    m_dialog.Services().pMessages->Show(request);
    if (wxWindow* pControl = m_dialog.Control(m_nLastIdc)) {
        pControl->SetFocus();
        if (auto* pBox = dynamic_cast<wxTextCtrl*>(pControl)) pBox->SelectAll();
    }
    throw UserException();
}

}  // namespace vantrell
