#include "ScriptPass.h"

#include <cstdint>

#include "ScriptFile.h"
#include "SeaTalkPort.h"
#include "TokenScan.h"

namespace vantrell {

PassResult RunScriptPass(CSeaTalkPort* pPort, const std::string& strPath, std::string& strCommand,
                         PassObserver& observer) {
    PassResult result;
    strCommand.clear();

    // A port whose open failed has no device behind it: sending through it
    // would echo a datagram that never reached the bus.
    if (pPort == nullptr || !pPort->IsOpen()) {
        strCommand = kTextPortClosed;
        observer.UpdateControls();
        result.outcome = PassResult::Outcome::PortClosed;
        return result;
    }
    if (strPath.empty()) {
        strCommand = kTextFirstLoad;
        observer.UpdateControls();
        result.outcome = PassResult::Outcome::NoScript;
        return result;
    }

    ScriptFile file;
    file.Open(strPath);  // a failed open surfaces as the first read's exception

    std::string strToken;
    bool bFirstByteSent = false;
    for (;;) {
        strToken.clear();
        std::uint8_t ch = 0;
        std::size_t nRead;
        while ((nRead = file.Read(&ch, 1)) == 1 && !IsTokenSeparator(ch)) strToken.push_back(static_cast<char>(ch));

        const std::size_t nEchoBefore = strCommand.size();
        strCommand += strToken;

        if (const auto value = ScanHexToken(strToken)) {
            if (pPort->SendByte(*value, ChooseOddParity(*value, !bFirstByteSent)) == 0) {
                strCommand.resize(nEchoBefore);
                result.outcome = PassResult::Outcome::SendFailed;
                break;
            }
            bFirstByteSent = true;
            ++result.nBytesSent;
            if (!observer.ContinueAfterByte(result.nBytesSent)) {
                result.outcome = PassResult::Outcome::Stopped;
                break;
            }
        }
        if (nRead == 0) break;
    }

    observer.UpdateControls();
    file.Close();
    return result;
}

}  // namespace vantrell
