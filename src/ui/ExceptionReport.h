// The exception report: what the user sees when an exception leaves a
// message handler. Every handler runs inside it, so an exception never
// unwinds through GTK's C code and the program always goes on afterwards.
//
//   memory exhausted           "Out of memory.", exclamation, system-modal
//   UserException              nothing (the validation message was shown)
//   an exception with a text   that text, stop icon (FileException's
//                              GetErrorMessage, else what())
//   anything else              "Internal application error." for a command
//                              from a control, "Command failed." otherwise
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "UiServices.h"

namespace vantrell {

// A failure the user has already been told about, such as a refused count.
class UserException : public std::exception {
public:
    const char* what() const noexcept override { return ""; }
};

enum class CommandOrigin {
    Control,  // a button click
    Other,    // a key, the window menu, the close box
};

struct ReportBox {
    std::string strText;
    MessageIcon icon = MessageIcon::Stop;
    bool bSystemModal = false;
};

// The box the report shows for error, or nothing.
std::optional<ReportBox> DescribeException(const std::exception_ptr& error, CommandOrigin origin);

// Shows that box, owned by pOwner and titled with the application title.
void ReportException(const std::exception_ptr& error, CommandOrigin origin, MessageBoxes& messages,
                     wxWindow* pOwner);

}  // namespace vantrell
