// SendScript, the dialog's transmission pass: the core pass with the
// dialog as its display, plus what the dialog shows when a byte cannot go.
#include "SeaTalkPort.h"
#include "SenderDialog.h"

namespace vantrell {

PassResult CSenderDialog::SendScript(std::string strPath) {
    const PassResult result = RunScriptPass(m_pPort.get(), strPath, m_strCommand, *this);
    if (result.outcome == PassResult::Outcome::SendFailed) {
        m_strStatus = "Error -> Can't write to selected " + m_pPort->PortName();
        UpdateData(false);
    }
    return result;
}

}  // namespace vantrell
