// CSeaTalkPort: the program's only way onto the SeaTalk bus.
//
// SeaTalk frames every byte with a ninth bit, the command bit, set on the
// first byte of a datagram only. A UART has no ninth bit, but with eight
// data bits its parity bit sits exactly where SeaTalk expects the ninth. So
// before every byte the port switches between odd and even parity, chosen
// by the caller so that the parity bit the UART computes is the command bit
// it wants. The switch is a full settings change, bracketed by 10 ms pauses
// so it never lands while the previous byte is still on the wire:
//
//   read settings, pause 10 ms, set parity, pause 10 ms, apply,
//   pause 10 ms, select TX-empty, write one byte, wait for TX-empty.
//
// A byte therefore costs 30 ms of pauses plus its 11 bit times at 4800 baud
// (2.29 ms): about 30 bytes a second, which is plenty for SeaTalk.
//
// Results are ints, non-zero for success; the port never throws. It is
// opened once right after construction and closed only by destruction.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "SerialDevice.h"

namespace vantrell {

class Sleeper;

// The line SeaTalk runs on, and the timeouts the port applies.
inline constexpr std::uint32_t kSeaTalkBaud = 4800;
inline constexpr std::uint32_t kWriteTimeoutPerByteMs = 10;
inline constexpr std::uint32_t kWriteTimeoutConstantMs = 1000;
inline constexpr std::uint32_t kReadIntervalNoWait = 0xFFFFFFFFu;
inline constexpr std::uint32_t kParityPauseMs = 10;

class CSeaTalkPort {
public:
    // Uses the machine's serial ports and real pauses.
    CSeaTalkPort();
    // Tests hand in a simulated backend and a sleeper that only counts.
    // log receives the one line naming the device and the outcome of
    // OpenPort; null keeps quiet. The backend and sleeper must outlive the port.
    CSeaTalkPort(SerialBackend& backend, Sleeper& sleeper, std::ostream* log);
    virtual ~CSeaTalkPort();

    CSeaTalkPort(const CSeaTalkPort&) = delete;
    CSeaTalkPort& operator=(const CSeaTalkPort&) = delete;

    // Opens lpszPortName ("COM1", "COM2", or a device the backend knows)
    // exclusively and sets it up for SeaTalk: 4800 baud, 8 data bits, no
    // parity yet, one stop bit, no flow control, DTR and RTS off, writes
    // bounded to 10 ms a byte plus 1 s. Returns 1 when every step succeeded,
    // else 0; a port that fails part way releases the device again.
    int OpenPort(const char* lpszPortName);

    // Writes the low eight bits of nValue with odd parity when bOddParity
    // is non-zero, else even. Returns 0 when the parity could not be applied
    // (nothing was written), when the write failed, or when the byte did not
    // leave the transmitter within the write bound; non-zero otherwise.
    int SendByte(int nValue, int bOddParity);

    bool IsOpen() const { return m_bOpen != 0; }
    // Why the last failing step failed, and on which device.
    const SerialError& LastError() const { return m_lastError; }
    const std::string& DevicePath() const { return m_strDevicePath; }
    // The name OpenPort was given ("COM1").
    const std::string& PortName() const { return m_strPortName; }

private:
    void Fail(const SerialError& error);
    void Fail(SerialErrorKind kind, const std::string& message);
    void ReleaseDevice();

    std::unique_ptr<SerialDevice> m_hComm;  // null: no device held
    int m_bOpen = 0;

    SerialBackend& m_backend;
    Sleeper& m_sleeper;
    std::ostream* m_pLog;
    std::string m_strPortName;
    std::string m_strDevicePath;
    SerialError m_lastError;
};

}  // namespace vantrell
