#include "LinuxSerial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

#include "Sleeper.h"

namespace vantrell {

namespace {

// ---------------------------------------------------------------- errors

SerialErrorKind KindOfErrno(int err) {
    if (err == ENOENT || err == ENODEV || err == ENXIO) return SerialErrorKind::NotFound;
    if (err == EBUSY || err == EWOULDBLOCK || err == EAGAIN) return SerialErrorKind::Busy;
    if (err == EACCES || err == EPERM) return SerialErrorKind::AccessDenied;
    // A directory is as much "not a serial device" as a regular file is.
    if (err == ENOTTY || err == EISDIR) return SerialErrorKind::NotSerial;
    if (err == EIO) return SerialErrorKind::Io;
    return SerialErrorKind::Other;
}

// The OS text, and after it why we were asking, when that helps a person.
SerialError OsError(int err, const char* why = nullptr, SerialErrorKind kind = SerialErrorKind::None) {
    std::string message = std::strerror(err);
    if (why != nullptr) {
        message += " (";
        message += why;
        message += ')';
    }
    return SerialError{kind == SerialErrorKind::None ? KindOfErrno(err) : kind, err, std::move(message)};
}

// Drivers without a control answer ENOTTY, some EINVAL: a pseudo-terminal
// has no modem lines and no line status register.
bool NotProvided(int err) { return err == ENOTTY || err == EINVAL; }

// ---------------------------------------------------------------- speeds

struct SpeedEntry {
    std::uint32_t baud;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// 0 for a speed outside the table (B0 included).
std::uint32_t BaudOf(speed_t code) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.code == code) return entry.baud;
    }
    return 0;
}

bool SpeedCodeOf(std::uint32_t baud, speed_t& code) {
    for (const SpeedEntry& entry : kSpeeds) {
        if (entry.baud == baud) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- time

constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNsPerS = 1000000000;
// Once the line time of the queue has passed, the transmitter is asked this
// often: short enough that a byte costs little more than its 2.29 ms on
// the line at 4800 baud, long enough not to spin.
constexpr std::int64_t kTxPollSliceNs = 100000;
constexpr std::int64_t kBitsPerFrame = 11;  // start, 8 data, parity, stop


// ---------------------------------------------------------------- settings

tcflag_t CsizeOf(std::uint8_t dataBits) {
    switch (dataBits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

std::uint8_t DataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

// What the device did not keep of what was asked, named for a person;
// null when it kept everything.
const char* DroppedSetting(const termios& wanted, const termios& held) {
    auto differs = [](tcflag_t a, tcflag_t b, tcflag_t mask) { return (a & mask) != (b & mask); };
    if (cfgetospeed(&wanted) != cfgetospeed(&held)) return "the speed setting";
    if (differs(wanted.c_cflag, held.c_cflag, CSIZE)) return "the data bits setting";
    if (differs(wanted.c_cflag, held.c_cflag, PARENB | PARODD | CMSPAR)) {
        return "the parity setting: a UART without parity, or a pseudo-terminal";
    }
    if (differs(wanted.c_cflag, held.c_cflag, CSTOPB)) return "the stop bits setting";
    if (differs(wanted.c_iflag, held.c_iflag, INPCK)) return "the parity check setting";
    if (differs(wanted.c_cflag, held.c_cflag, CRTSCTS)) return "the RTS/CTS flow control setting";
    if (differs(wanted.c_iflag, held.c_iflag, IXON | IXOFF)) return "the XON/XOFF setting";
    return nullptr;
}

// ---------------------------------------------------------------- device

class LinuxSerialDevice final : public SerialDevice {
public:
    LinuxSerialDevice(int fd, std::string path, const termios& current)
        : m_fd(fd), m_strPath(std::move(path)), m_termios(current) {}

    ~LinuxSerialDevice() override {
        // A pseudo-terminal keeps its exclusive flag while its master is
        // open, which would lock every other user out after we are gone.
        // Closing drops the flock.
        ioctl(m_fd, TIOCNXCL);
        close(m_fd);
    }

    LinuxSerialDevice(const LinuxSerialDevice&) = delete;
    LinuxSerialDevice& operator=(const LinuxSerialDevice&) = delete;

    bool ReadSettings(LineSettings& settings) override {
        termios current{};
        if (tcgetattr(m_fd, &current) != 0) return Fail(OsError(errno, "reading the line settings"));
        int lines = 0;
        if (ioctl(m_fd, TIOCMGET, &lines) != 0) {
            if (!NotProvided(errno)) return Fail(OsError(errno, "reading the modem lines"));
            lines = 0;
        }
        m_termios = current;

        settings.baudRate = BaudOf(cfgetospeed(&current));
        settings.dataBits = DataBitsOf(current.c_cflag);
        if ((current.c_cflag & PARENB) == 0) {
            settings.parity = Parity::None;
        } else {
            settings.parity = (current.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
        }
        settings.stopBits = (current.c_cflag & CSTOPB) != 0 ? 2 : 1;
        settings.parityCheck = (current.c_iflag & INPCK) != 0;
        settings.ctsFlow = (current.c_cflag & CRTSCTS) != 0;
        settings.dsrFlow = false;
        settings.xonXoffOutput = (current.c_iflag & IXON) != 0;
        settings.xonXoffInput = (current.c_iflag & IXOFF) != 0;
        settings.dtr = (lines & TIOCM_DTR) != 0;
        settings.rts = (lines & TIOCM_RTS) != 0;
        return true;
    }

    bool ApplySettings(const LineSettings& settings) override {
        if (settings.dsrFlow) return Refuse("DSR flow control is not available on Linux");
        if (settings.dataBits < 5 || settings.dataBits > 8) return Refuse("data bits must be 5 to 8");
        if (settings.stopBits != 1 && settings.stopBits != 2) return Refuse("stop bits must be 1 or 2");
        speed_t speed = B0;
        if (!SpeedCodeOf(settings.baudRate, speed)) {
            return Refuse(std::to_string(settings.baudRate) + " baud is not a standard speed");
        }

        termios wanted = m_termios;
        // Raw: the bytes go out exactly as written, and nothing that comes
        // in is echoed back onto the bus.
        wanted.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                                 ICRNL | IXON | IXOFF | IXANY | INPCK);
        wanted.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        wanted.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        wanted.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
        wanted.c_cflag |= CLOCAL | CREAD | CsizeOf(settings.dataBits);
        if (settings.stopBits == 2) wanted.c_cflag |= CSTOPB;
        if (settings.parity == Parity::Odd) wanted.c_cflag |= PARENB | PARODD;
        if (settings.parity == Parity::Even) wanted.c_cflag |= PARENB;
        if (settings.ctsFlow) wanted.c_cflag |= CRTSCTS;
        if (settings.parityCheck) wanted.c_iflag |= INPCK;
        if (settings.xonXoffOutput) wanted.c_iflag |= IXON;
        if (settings.xonXoffInput) wanted.c_iflag |= IXOFF;
        if (cfsetispeed(&wanted, speed) != 0 || cfsetospeed(&wanted, speed) != 0) {
            return Refuse(std::to_string(settings.baudRate) + " baud is not a standard speed");
        }

        // Only a read back tells whether the device holds what we asked:
        // a driver may drop a field and still report success, and whether
        // glibc then reports EINVAL depends on which field it was.
        const int setError = tcsetattr(m_fd, TCSANOW, &wanted) == 0 ? 0 : errno;
        termios held{};
        const int readError = tcgetattr(m_fd, &held) == 0 ? 0 : errno;
        const char* dropped = readError == 0 ? DroppedSetting(wanted, held) : nullptr;
        if (setError != 0 || readError != 0 || dropped != nullptr) {
            // All or nothing: put back what the device had before.
            tcsetattr(m_fd, TCSANOW, &m_termios);
            if (dropped != nullptr) return Refuse(std::string("the device dropped ") + dropped);
            if (setError != 0) {
                return Fail(OsError(setError, "applying the line settings",
                                    setError == EINVAL ? SerialErrorKind::Unsupported : SerialErrorKind::None));
            }
            return Fail(OsError(readError, "reading the line settings back"));
        }
        m_termios = held;
        return SetModemLines(settings.dtr, settings.rts);
    }

    bool ReadTimeouts(Timeouts& timeouts) override {
        timeouts = m_timeouts;
        return true;
    }

    bool ApplyTimeouts(const Timeouts& timeouts) override {
        m_timeouts = timeouts;
        return true;
    }

    bool SelectEvents(std::uint32_t mask) override {
        m_nEventMask = mask;
        return true;
    }

    bool WriteByte(std::uint8_t byte) override {
        const std::uint32_t limitMs = m_timeouts.WriteLimitMs(1);
        // Both write fields zero means no bound, as on the platform the
        // seam stands in for.
        const bool bounded = m_timeouts.writeTotalMultiplier != 0 || m_timeouts.writeTotalConstant != 0;
        const std::int64_t deadline = MonotonicNowNs() + static_cast<std::int64_t>(limitMs) * kNsPerMs;
        for (;;) {
            const std::int64_t attempt = MonotonicNowNs();
            const ssize_t written = write(m_fd, &byte, 1);
            if (written == 1) {
                m_bWritePending = true;
                m_nWriteNs = attempt;
                return true;
            }
            if (written < 0 && errno == EINTR) continue;
            if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                return Fail(OsError(errno, "writing"));
            }
            // The driver's buffer is full: wait for room, within the bound.
            int pollMs = -1;
            if (bounded) {
                const std::int64_t left = deadline - MonotonicNowNs();
                if (left <= 0) {
                    return Fail(SerialError{SerialErrorKind::TimedOut, 0,
                                            "the byte found no room within " + std::to_string(limitMs) + " ms"});
                }
                pollMs = static_cast<int>((left + kNsPerMs - 1) / kNsPerMs);
            }
            pollfd ready{m_fd, POLLOUT, 0};
            const int polled = poll(&ready, 1, pollMs);
            if (polled < 0 && errno != EINTR) return Fail(OsError(errno, "waiting to write"));
            if (polled > 0 && (ready.revents & POLLOUT) == 0 &&
                (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return Fail(OsError(EIO, "the device hung up"));
            }
        }
    }

    bool WaitEvent(std::uint32_t& events, std::uint32_t limitMs) override {
        events = 0;
        if ((m_nEventMask & kEventTxEmpty) == 0) {
            return Fail(SerialError{SerialErrorKind::Other, 0, "no event selected to wait for"});
        }
        const std::int64_t deadline = MonotonicNowNs() + static_cast<std::int64_t>(limitMs) * kNsPerMs;
        bool firstPause = true;
        for (;;) {
            int queued = 0;
            if (ioctl(m_fd, TIOCOUTQ, &queued) != 0) return Fail(OsError(errno, "asking for the output queue"));
            bool shifterEmpty = true;
            if (!m_bNoLineStatus) {
                unsigned int lineStatus = 0;
                if (ioctl(m_fd, TIOCSERGETLSR, &lineStatus) == 0) {
                    shifterEmpty = (lineStatus & TIOCSER_TEMT) != 0;
                } else if (NotProvided(errno)) {
                    m_bNoLineStatus = true;  // the driver will not grow one
                } else {
                    return Fail(OsError(errno, "asking for the line status"));
                }
            }
            if (queued <= 0 && shifterEmpty) {
                m_bWritePending = false;
                events = kEventTxEmpty;
                return true;
            }

            const std::int64_t now = MonotonicNowNs();
            if (now >= deadline) {
                return Fail(SerialError{SerialErrorKind::TimedOut, 0,
                                        "the transmitter did not empty within " + std::to_string(limitMs) + " ms"});
            }
            std::int64_t wake = now + kTxPollSliceNs;
            if (firstPause) {
                // The queue cannot empty faster than the line carries it,
                // counted from the write that started it.
                const std::int64_t frames = std::max<std::int64_t>(queued, m_bWritePending ? 1 : 0);
                const std::int64_t from = m_bWritePending ? m_nWriteNs : now;
                wake = std::max(wake, from + frames * FrameNs());
                firstPause = false;
            }
            wake = std::min(wake, deadline);
            while (!SleepUntilNs(wake)) {
            }
        }
    }

    const std::string& Path() const override { return m_strPath; }
    const SerialError& LastError() const override { return m_lastError; }

private:
    bool Fail(SerialError error) {
        m_lastError = std::move(error);
        return false;
    }

    bool Refuse(std::string why) { return Fail(SerialError{SerialErrorKind::Unsupported, 0, std::move(why)}); }

    std::int64_t FrameNs() const {
        const std::uint32_t baud = BaudOf(cfgetospeed(&m_termios));
        return baud == 0 ? 0 : kBitsPerFrame * kNsPerS / baud;
    }

    bool SetModemLines(bool dtr, bool rts) {
        const int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
        const int lower = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
        for (auto [request, bits] : {std::pair<unsigned long, int>{TIOCMBIS, raise}, {TIOCMBIC, lower}}) {
            if (bits == 0) continue;
            if (ioctl(m_fd, request, &bits) != 0) {
                if (NotProvided(errno)) return true;  // no modem lines to set
                return Fail(OsError(errno, "setting DTR and RTS"));
            }
        }
        return true;
    }

    int m_fd;
    std::string m_strPath;
    termios m_termios;           // as last read from the device
    Timeouts m_timeouts;         // Linux keeps none; the writes honour these
    std::uint32_t m_nEventMask = 0;
    bool m_bWritePending = false;   // a byte written since the last TX empty
    std::int64_t m_nWriteNs = 0;    // when that byte was handed to the driver
    bool m_bNoLineStatus = false;   // TIOCSERGETLSR is not provided
    SerialError m_lastError;
};

// Closes the descriptor on every way out of Open but the one that hands it
// to a device.
class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0) close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

SerialError OpenDevicePath(const std::string& path, std::unique_ptr<SerialDevice>& device) {
    // O_NONBLOCK so the open does not wait for carrier; it stays set, since
    // the writes are bounded with poll.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OsError(errno);
    FdGuard guard(fd);

    struct stat info {};
    if (fstat(fd, &info) != 0) return OsError(errno);
    if (!S_ISCHR(info.st_mode)) return SerialError{SerialErrorKind::NotSerial, 0, "not a character device"};
    termios current{};
    if (tcgetattr(fd, &current) != 0) return OsError(errno, "not a serial device");
    // The lock first: a port we cannot have must not be left marked
    // exclusive on the holder's behalf.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        return OsError(err, err == EWOULDBLOCK ? "another program holds the port" : "locking the port");
    }
    if (ioctl(fd, TIOCEXCL) != 0) return OsError(errno, "claiming the port");

    device = std::make_unique<LinuxSerialDevice>(guard.Release(), path, current);
    return SerialError{};
}

}  // namespace

LinuxSerialBackend::LinuxSerialBackend(ComPortMap map) : m_map(std::move(map)) {}

SerialBackend::OpenResult LinuxSerialBackend::Open(const std::string& name) {
    OpenResult result;
    if (!name.empty() && name.front() == '/') {
        result.path = name;
    } else if (std::optional<int> number = ComPortMap::ParseComName(name)) {
        std::optional<std::string> path = m_map.Resolve(name);
        if (!path) {
            result.error = SerialError{SerialErrorKind::NotFound, 0,
                                       "this machine has no serial port COM" + std::to_string(*number)};
            return result;
        }
        result.path = *path;
    } else {
        result.error = SerialError{SerialErrorKind::NotFound, 0,
                                   "\"" + name + "\" is neither COMn nor a device path"};
        return result;
    }
    result.error = OpenDevicePath(result.path, result.device);
    return result;
}

SerialBackend& SystemSerialBackend() {
    static LinuxSerialBackend backend;
    return backend;
}

}  // namespace vantrell
