// One transmission pass: a command script, read from its first byte to its
// last, goes out as one SeaTalk datagram.
//
// Each token of the script becomes one byte. The first byte of the pass
// carries the command bit and every later byte does not, so the bytes of one
// pass form one datagram on the bus. The tokens are collected, run together
// without their separators, as an echo of what was sent.
//
// The pass knows nothing of windows: whoever runs it (the dialog, the
// command-line sender) hands it the port, the script path, the text to hold
// the echo, and an observer that shows the result.
#pragma once

#include <cstddef>
#include <string>

namespace vantrell {

class CSeaTalkPort;

inline constexpr const char* kTextPortClosed = "Com Port is CLOSE!";
inline constexpr const char* kTextFirstLoad = "First Load Command!";

class PassObserver {
public:
    virtual ~PassObserver() = default;
    // Shows the echo or the refusal that the pass has just put in place.
    virtual void UpdateControls() = 0;
    // After every byte that went out; false ends the pass after that byte.
    virtual bool ContinueAfterByte(std::size_t nSent) {
        static_cast<void>(nSent);
        return true;
    }
};

struct PassResult {
    enum class Outcome {
        Sent,         // the whole script went out
        PortClosed,   // refused: no port, or a port that did not open
        NoScript,     // refused: no script loaded
        SendFailed,   // a byte could not be sent; nothing after it was
        Stopped,      // the observer asked to stop
    };
    Outcome outcome = Outcome::Sent;
    std::size_t nBytesSent = 0;
};

// Runs one pass over the script at strPath through pPort.
//
// strCommand is emptied first, then receives the refusal text or the echo.
// A token that holds no number is echoed but sends nothing, and a datagram's
// command bit goes to its first byte actually sent. When a byte cannot be
// sent the pass stops there: the echo keeps the tokens before that byte.
// observer.UpdateControls() runs at the end of every pass that does not
// throw. A script that cannot be read throws FileException; strCommand then
// holds the echo of what was sent before.
PassResult RunScriptPass(CSeaTalkPort* pPort, const std::string& strPath, std::string& strCommand,
                         PassObserver& observer);

}  // namespace vantrell
