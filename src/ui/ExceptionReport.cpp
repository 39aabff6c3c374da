#include "ExceptionReport.h"

#include <new>

#include "AppInfo.h"
#include "ScriptFile.h"

namespace vantrell {

std::optional<ReportBox> DescribeException(const std::exception_ptr& error, CommandOrigin origin) {
    const std::string strNoMessage =
        origin == CommandOrigin::Control ? "Internal application error." : "Command failed.";
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return ReportBox{"Out of memory.", MessageIcon::Exclamation, true};
    } catch (const UserException&) {
        return std::nullopt;
    } catch (const FileException& e) {
        return ReportBox{e.GetErrorMessage(), MessageIcon::Stop, false};
    } catch (const std::exception& e) {
        const std::string strWhat = e.what();
        return ReportBox{strWhat.empty() ? strNoMessage : strWhat, MessageIcon::Stop, false};
    } catch (...) {
        return ReportBox{strNoMessage, MessageIcon::Stop, false};
    }
}

void ReportException(const std::exception_ptr& error, CommandOrigin origin, MessageBoxes& messages,
                     wxWindow* pOwner) {
    const std::optional<ReportBox> box = DescribeException(error, origin);
    if (!box) return;
    MessageRequest request;
    request.pOwner = pOwner;
    request.strTitle = AppTitle();
    request.strText = box->strText;
    request.icon = box->icon;
    request.bSystemModal = box->bSystemModal;
    messages.Show(request);
}

}  // namespace vantrell
