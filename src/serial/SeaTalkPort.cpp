#include "SeaTalkPort.h"

#include <cerrno>  // program_invocation_short_name
#include <iostream>

#include "LinuxSerial.h"
#include "Sleeper.h"

namespace vantrell {

CSeaTalkPort::CSeaTalkPort() : CSeaTalkPort(SystemSerialBackend(), SystemSleeper(), &std::cerr) {}

CSeaTalkPort::CSeaTalkPort(SerialBackend& backend, Sleeper& sleeper, std::ostream* log)
    : m_backend(backend), m_sleeper(sleeper), m_pLog(log) {}

CSeaTalkPort::~CSeaTalkPort() = default;  // m_hComm closes the device

void CSeaTalkPort::Fail(const SerialError& error) { m_lastError = error; }

void CSeaTalkPort::Fail(SerialErrorKind kind, const std::string& message) {
    m_lastError = SerialError{kind, 0, message};
}

void CSeaTalkPort::ReleaseDevice() { m_hComm.reset(); }

int CSeaTalkPort::OpenPort(const char* lpszPortName) {
    m_strPortName = lpszPortName != nullptr ? lpszPortName : "";
    m_lastError = {};

    SerialBackend::OpenResult opened = m_backend.Open(m_strPortName);
    m_hComm = std::move(opened.device);
    m_strDevicePath = opened.path;

    auto report = [&](const char* outcome) {
        if (m_pLog == nullptr) return;
        *m_pLog << program_invocation_short_name << ": " << m_strPortName;
        if (!m_strDevicePath.empty() && m_strDevicePath != m_strPortName) *m_pLog << " (" << m_strDevicePath << ")";
        *m_pLog << ": " << outcome;
        if (m_lastError) *m_pLog << ": " << m_lastError.message;
        *m_pLog << '\n';
    };

    if (!m_hComm) {
        Fail(opened.error);
        report("cannot open");
        return 0;
    }

    // Everything not set here stays as the device had it.
    LineSettings settings;
    m_hComm->ReadSettings(settings);
    settings.baudRate = kSeaTalkBaud;
    settings.parityCheck = true;
    settings.ctsFlow = false;
    settings.dsrFlow = false;
    settings.dtr = false;
    settings.xonXoffOutput = false;
    settings.xonXoffInput = false;
    settings.rts = false;
    settings.dataBits = 8;
    settings.parity = Parity::None;  // until the first byte picks one
    settings.stopBits = 1;

    // A port that fails part way gives the device back at once, so that
    // the next attempt, or another program, can have it.
    if (!m_hComm->ApplySettings(settings)) {
        Fail(m_hComm->LastError());
        ReleaseDevice();
        report("cannot set up");
        return 0;
    }

    Timeouts timeouts;
    m_hComm->ReadTimeouts(timeouts);
    timeouts.readInterval = kReadIntervalNoWait;
    timeouts.readTotalMultiplier = 0;
    timeouts.readTotalConstant = 0;
    timeouts.writeTotalMultiplier = kWriteTimeoutPerByteMs;
    timeouts.writeTotalConstant = kWriteTimeoutConstantMs;

    m_hComm->SelectEvents(kEventTxEmpty);

    if (!m_hComm->ApplyTimeouts(timeouts)) {
        Fail(m_hComm->LastError());
        ReleaseDevice();
        report("cannot set up");
        return 0;
    }

    m_bOpen = 1;
    report("open");
    return 1;
}

int CSeaTalkPort::SendByte(int nValue, int bOddParity) {
    // Settings that could not be read must not be applied: they would be
    // defaults, not the line this port set up.
    LineSettings settings;
    if (m_hComm && !m_hComm->ReadSettings(settings)) {
        Fail(m_hComm->LastError());
        return 0;
    }
    m_sleeper.SleepMs(kParityPauseMs);

    settings.parity = bOddParity != 0 ? Parity::Odd : Parity::Even;
    m_sleeper.SleepMs(kParityPauseMs);

    if (!m_hComm) {
        Fail(SerialErrorKind::NotFound, "the port is not open");
        return 0;
    }
    if (!m_hComm->ApplySettings(settings)) {
        Fail(m_hComm->LastError());
        return 0;
    }
    m_sleeper.SleepMs(kParityPauseMs);

    m_hComm->SelectEvents(kEventTxEmpty);
    const bool written = m_hComm->WriteByte(static_cast<std::uint8_t>(nValue & 0xFF));
    if (!written) Fail(m_hComm->LastError());

    // The wait follows even a failed write: part of the byte may be on its
    // way. It is bounded like the write, and a byte that never leaves counts
    // as not sent, so the caller stops instead of piling bytes up behind it.
    std::uint32_t events = 0;
    const bool left = m_hComm->WaitEvent(events, kWriteTimeoutPerByteMs + kWriteTimeoutConstantMs);
    if (written && !left) Fail(m_hComm->LastError());
    return written && left ? 1 : 0;
}

}  // namespace vantrell
