// Data exchange: one routine per dialog copies its fields into its
// controls, or reads the controls back into the fields and validates them,
// depending on the direction it is run in.
//
// The control read stops at the first bad value: it shows the message,
// puts the focus on that control with its whole text selected, and throws
// UserException, which TemplateDialog::UpdateData turns into false.
#pragma once

#include <optional>
#include <string>

namespace vantrell {

class TemplateDialog;

inline constexpr char kTextEnterInteger[] = "Please enter an integer.";
inline constexpr char kTextEnterIntegerRange[] = "Please enter an integer between %1 and %2.";

// The control read of a signed integer. Looks at the first 31 characters
// only; blanks and tabs at either end are ignored; then an optional sign
// and decimal digits, nothing else. A zero counts only when the first
// non-blank character is the digit 0 (so "", "+0" and "-0" are refused).
// Magnitudes beyond 32 bits clamp to INT_MIN or INT_MAX. Nothing: refused.
std::optional<int> ParseDialogInteger(const std::string& strText);

// "%1" and "%2" of strFormat replaced by nFirst and nSecond.
std::string FormatMessage2(const std::string& strFormat, int nFirst, int nSecond);

class DataExchange {
public:
    DataExchange(TemplateDialog& dialog, bool bSaveAndValidate);

    // The box's whole text to or from strValue. Into the box, a box that
    // already shows the text is left alone; out of it, a field the box
    // still shows keeps its own bytes.
    void Text(int nIdc, std::string& strValue);
    // nValue as signed decimal, or the box read by ParseDialogInteger.
    // On a refusal nValue is unchanged.
    void Int(int nIdc, int& nValue);
    // On a read, nValue outside nMin..nMax fails on the last control.
    void Range(int nValue, int nMin, int nMax);

    bool IsSaving() const { return m_bSaveAndValidate; }

private:
    [[noreturn]] void Fail(const std::string& strMessage);

    TemplateDialog& m_dialog;
    const bool m_bSaveAndValidate;
    int m_nLastIdc = 0;
};

}  // namespace vantrell
