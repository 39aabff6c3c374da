// The platform seam under CSeaTalkPort.
//
// CSeaTalkPort needs very little of a serial port: open a named device
// exclusively, read and apply its line settings, read and apply timeouts,
// select the transmit-empty event, write one byte, wait until that byte has
// left the transmitter, and close. Those operations, and nothing else, are
// what a backend provides. The Linux backend speaks termios to a real device;
// the simulated backend records every call and models the wire for tests.
//
// Settings are staged: read the device's settings into a LineSettings, edit
// the copy, apply it. Applying is all-or-nothing from the caller's view: a
// backend that cannot make the device hold every field reports failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantrell {

enum class Parity { None, Odd, Even };

// The line settings CSeaTalkPort reads, edits and applies. Only what a
// SeaTalk sender needs to control is here; a backend keeps whatever else the
// device has as it found it.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    std::uint8_t stopBits = 1;
    bool parityCheck = false;     // check the parity of received bytes
    bool ctsFlow = false;         // CTS holds back output
    bool dsrFlow = false;         // DSR holds back output
    bool xonXoffOutput = false;   // XON/XOFF flow control of output
    bool xonXoffInput = false;    // XON/XOFF flow control of input
    bool dtr = false;             // DTR asserted while the port is open
    bool rts = false;             // RTS asserted while the port is open

    friend bool operator==(const LineSettings& a, const LineSettings& b) {
        return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
               a.stopBits == b.stopBits && a.parityCheck == b.parityCheck &&
               a.ctsFlow == b.ctsFlow && a.dsrFlow == b.dsrFlow &&
               a.xonXoffOutput == b.xonXoffOutput && a.xonXoffInput == b.xonXoffInput &&
               a.dtr == b.dtr && a.rts == b.rts;
    }
    friend bool operator!=(const LineSettings& a, const LineSettings& b) { return !(a == b); }
};

// Read and write timeouts in milliseconds. A write of n bytes may take
// writeTotalMultiplier * n + writeTotalConstant before it gives up.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;

    // The bound a write of nBytes runs under, and the wait that follows it.
    std::uint32_t WriteLimitMs(std::uint32_t nBytes) const {
        return writeTotalMultiplier * nBytes + writeTotalConstant;
    }
};

// Events a wait can end on.
enum : std::uint32_t { kEventTxEmpty = 0x0004 };

// What went wrong, sorted by what the caller can do about it.
enum class SerialErrorKind {
    None,
    NotFound,         // no device of that name
    Busy,             // another handle holds the device
    AccessDenied,     // no permission (on Linux: the dialout group)
    NotSerial,        // the name is not a serial device at all
    Unsupported,      // the device refused or silently dropped a setting
    TimedOut,         // a write or a wait ran past its bound
    Io,               // the device failed; unplugged adapters end up here
    Other,
};

struct SerialError {
    SerialErrorKind kind = SerialErrorKind::None;
    int osError = 0;          // errno, when the OS gave one
    std::string message;      // one line for a person: the OS text, or why

    explicit operator bool() const { return kind != SerialErrorKind::None; }
};

// One open serial device. Destruction closes it.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual bool ReadSettings(LineSettings& settings) = 0;
    virtual bool ApplySettings(const LineSettings& settings) = 0;
    virtual bool ReadTimeouts(Timeouts& timeouts) = 0;
    virtual bool ApplyTimeouts(const Timeouts& timeouts) = 0;
    virtual bool SelectEvents(std::uint32_t mask) = 0;
    // Writes one byte, bounded by the write timeouts.
    virtual bool WriteByte(std::uint8_t byte) = 0;
    // Waits until a selected event happens. Unlike the platform this seam
    // stands in for, the wait is bounded: a device that never reports its
    // transmitter empty must not hang the program. limitMs is that bound.
    virtual bool WaitEvent(std::uint32_t& events, std::uint32_t limitMs) = 0;

    // The device path behind the name it was opened by, for messages.
    virtual const std::string& Path() const = 0;
    // Why the last failing call failed.
    virtual const SerialError& LastError() const = 0;
};

// Opens devices by name. "COM1" and "COM2" are the names the program uses;
// a backend maps them to its own devices and may accept other names too.
class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    struct OpenResult {
        std::unique_ptr<SerialDevice> device;  // null when the open failed
        std::string path;                      // the device the name mapped to, if any
        SerialError error;
    };

    virtual OpenResult Open(const std::string& name) = 0;
};

}  // namespace vantrell
