// The Linux serial backend, on POSIX termios.
//
// How the seam's calls land on Linux:
//
//   Open            open(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC): never
//                   our controlling terminal, never a wait for carrier. The
//                   node must be a character device that answers tcgetattr.
//                   Exclusive twice over: TIOCEXCL keeps other users out,
//                   and flock(LOCK_EX | LOCK_NB) keeps out root and every
//                   program that takes the same lock, since root ignores
//                   TIOCEXCL.
//   ApplySettings   raw mode plus the fields of LineSettings, then a read
//                   back: a driver that cannot do parity (the Raspberry Pi
//                   mini UART, a pseudo-terminal) accepts PARENB and quietly
//                   drops it, and a sender that missed that would put every
//                   byte on the bus with a wrong ninth bit. Mark and space
//                   parity (CMSPAR) are always cleared.
//   timeouts        Linux has none; the device keeps the record and bounds
//                   its writes by writeTotalMultiplier + writeTotalConstant.
//   WriteByte       a non-blocking write of one byte; when the driver's
//                   buffer is full, poll(POLLOUT) for what remains of the
//                   bound.
//   WaitEvent       TX empty is TIOCOUTQ == 0 and, where the driver has it,
//                   TIOCSERGETLSR's TEMT (the shift register has emptied
//                   too). tcdrain would do it without a bound, so the device
//                   polls instead: first for about the line time of what is
//                   queued, then in short slices, up to the caller's limit.
//
// Errors carry the errno and its text; ENOENT/ENODEV/ENXIO are NotFound,
// EBUSY and a held lock Busy, EACCES/EPERM AccessDenied (the dialout group),
// ENOTTY NotSerial, EIO Io (an unplugged adapter).
//
// The device uses only open, close, fstat, tcgetattr, tcsetattr, ioctl,
// write, poll and flock on its descriptor, so a test can stand a fake UART
// in for the kernel by wrapping those calls.
#pragma once

#include <string>

#include "ComPortMap.h"
#include "SerialDevice.h"

namespace vantrell {

class LinuxSerialBackend final : public SerialBackend {
public:
    explicit LinuxSerialBackend(ComPortMap map = ComPortMap());

    // "COMn" opens the port the map gives that number (NotFound, naming
    // COMn, when the machine has no such port); a name beginning with '/'
    // is a device path; anything else is NotFound. OpenResult.path is the
    // device path whenever there is one, also when the open fails. A failed
    // open holds nothing.
    OpenResult Open(const std::string& name) override;

private:
    ComPortMap m_map;
};

// The backend the programs use: the machine's serial ports, with "COM1" and
// "COM2" mapped to its first and second port.
SerialBackend& SystemSerialBackend();

}  // namespace vantrell
