// The Linux backend over pseudo-terminals. A pty is a tty without a UART:
// it takes raw mode and speeds but forces CS8 and drops PARENB, which is
// exactly the silent refusal the backend must catch. The machine's real
// serial ports are never opened: COM names resolve through a fake tree.
#include "LinuxSerial.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "SeaTalkLine.h"
#include "SeaTalkPort.h"
#include "Sleeper.h"

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// How long a test waits for bytes that the kernel moves between the two
// ends of a pty on its own schedule. Only a bound, never a measurement.
constexpr int kSettleMs = 2000;


// A pseudo-terminal whose master nobody reads unless a test does, and a
// scratch dir with a fake /sys/class/tty and /dev in which ttyUSB0 is the
// pty, so "COM1" means the pty and nothing else.
class LinuxSerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_master, 0) << std::strerror(errno);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        const char* slave = ptsname(m_master);
        ASSERT_NE(slave, nullptr);
        m_strSlave = slave;

        char pattern[] = "/tmp/vantrell-linux-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_scratch = pattern;
        fs::create_directories(m_scratch / "sys" / "ttyUSB0");
        fs::create_directories(m_scratch / "dev");
        fs::create_symlink(m_strSlave, m_scratch / "dev" / "ttyUSB0");
        m_pBackend = std::make_unique<LinuxSerialBackend>(
            ComPortMap((m_scratch / "sys").string(), (m_scratch / "dev").string()));
    }

    void TearDown() override {
        if (m_master >= 0) close(m_master);
        std::error_code ec;
        if (!m_scratch.empty()) fs::remove_all(m_scratch, ec);
    }

    std::unique_ptr<SerialDevice> OpenSlave() {
        SerialBackend::OpenResult opened = m_pBackend->Open(m_strSlave);
        EXPECT_TRUE(opened.device) << opened.error.message;
        return std::move(opened.device);
    }

    // Everything that reaches the master, reading until expected bytes came
    // or the line stayed quiet for kSettleMs.
    std::string DrainMaster(std::size_t expected) {
        std::string got;
        char buffer[4096];
        while (got.size() < expected) {
            pollfd ready{m_master, POLLIN, 0};
            if (poll(&ready, 1, kSettleMs) <= 0) break;
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    bool MasterHasData(int waitMs) {
        pollfd ready{m_master, POLLIN, 0};
        return poll(&ready, 1, waitMs) > 0 && (ready.revents & POLLIN) != 0;
    }

    int m_master = -1;
    std::string m_strSlave;
    fs::path m_scratch;
    std::unique_ptr<LinuxSerialBackend> m_pBackend;
};

TEST_F(LinuxSerialTest, SecondOpenIsBusyUntilTheFirstDeviceIsGone) {
    std::unique_ptr<SerialDevice> first = OpenSlave();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Path(), m_strSlave);

    SerialBackend::OpenResult second = m_pBackend->Open(m_strSlave);
    EXPECT_FALSE(second.device);
    EXPECT_EQ(second.error.kind, SerialErrorKind::Busy) << second.error.message;
    EXPECT_EQ(second.path, m_strSlave);

    first.reset();
    EXPECT_TRUE(OpenSlave());
}

TEST_F(LinuxSerialTest, ComNameOpensTheMappedDevice) {
    SerialBackend::OpenResult opened = m_pBackend->Open("com1");
    ASSERT_TRUE(opened.device) << opened.error.message;
    EXPECT_EQ(opened.path, (m_scratch / "dev" / "ttyUSB0").string());
}

TEST_F(LinuxSerialTest, OpenFailuresSayWhatKindOfFailure) {
    const std::string regular = (m_scratch / "script.id").string();
    std::ofstream(regular) << "86 01 00\n";
    const struct {
        std::string name;
        SerialErrorKind kind;
        std::string path;     // what OpenResult.path must name
        std::string message;  // a part of the message
    } cases[] = {
        {(m_scratch / "dev" / "ttyUSB9").string(), SerialErrorKind::NotFound,
         (m_scratch / "dev" / "ttyUSB9").string(), "No such file"},
        {"/dev/null", SerialErrorKind::NotSerial, "/dev/null", "not a serial device"},
        {regular, SerialErrorKind::NotSerial, regular, "not a character device"},
        {m_scratch.string(), SerialErrorKind::NotSerial, m_scratch.string(), "directory"},
        {"COM2", SerialErrorKind::NotFound, "", "COM2"},
        {"COMx", SerialErrorKind::NotFound, "", "COMx"},
        {"ttyUSB0", SerialErrorKind::NotFound, "", "neither COMn nor a device path"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SerialBackend::OpenResult opened = m_pBackend->Open(c.name);
        EXPECT_FALSE(opened.device);
        EXPECT_EQ(opened.error.kind, c.kind);
        EXPECT_EQ(opened.path, c.path);
        EXPECT_THAT(opened.error.message, HasSubstr(c.message));
    }
}

TEST_F(LinuxSerialTest, NoParityLineReadsBackAsAppliedAndIsRaw) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    LineSettings line;
    ASSERT_TRUE(device->ReadSettings(line));
    const LineSettings wanted = SeaTalkOpenLine();
    ASSERT_TRUE(device->ApplySettings(wanted)) << device->LastError().message;

    LineSettings held;
    ASSERT_TRUE(device->ReadSettings(held));
    EXPECT_EQ(held, wanted);

    // A pty cooks output by default (ONLCR turns "\n" into "\r\n"); a raw
    // line sends the one byte written and nothing else.
    ASSERT_TRUE(device->WriteByte('\n'));
    EXPECT_EQ(DrainMaster(1), "\n");
    EXPECT_FALSE(MasterHasData(50));
}

TEST_F(LinuxSerialTest, ModemLinesAreNoErrorOnADeviceWithoutThem) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "raise DTR and RTS" : "lower DTR and RTS");
        LineSettings line = SeaTalkOpenLine();
        line.dtr = on;
        line.rts = on;
        EXPECT_TRUE(device->ApplySettings(line)) << device->LastError().message;
    }
}

TEST_F(LinuxSerialTest, SettingsTheDeviceCannotHoldAreRefusedAndUndone) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->ApplySettings(SeaTalkOpenLine())) << device->LastError().message;

    struct Case {
        const char* title;
        void (*edit)(LineSettings&);
        const char* message;
    };
    const Case cases[] = {
        {"odd parity, dropped by the pty", [](LineSettings& s) { s.parity = Parity::Odd; }, "parity"},
        {"even parity, dropped by the pty", [](LineSettings& s) { s.parity = Parity::Even; }, "parity"},
        {"7 data bits, forced back to 8", [](LineSettings& s) { s.dataBits = 7; }, "data bits"},
        {"DSR flow control", [](LineSettings& s) { s.dsrFlow = true; }, "DSR"},
        {"a speed outside the table", [](LineSettings& s) { s.baudRate = 4801; }, "4801"},
        {"9 data bits", [](LineSettings& s) { s.dataBits = 9; }, "data bits"},
        {"3 stop bits", [](LineSettings& s) { s.stopBits = 3; }, "stop bits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        LineSettings line;
        ASSERT_TRUE(device->ReadSettings(line));
        c.edit(line);
        EXPECT_FALSE(device->ApplySettings(line));
        EXPECT_EQ(device->LastError().kind, SerialErrorKind::Unsupported);
        EXPECT_THAT(device->LastError().message, HasSubstr(c.message));

        LineSettings after;
        ASSERT_TRUE(device->ReadSettings(after));
        EXPECT_EQ(after, SeaTalkOpenLine()) << "the refused change was left half done";
    }
}

TEST_F(LinuxSerialTest, WaitEndsAtOnceWhenTheQueueIsEmptyAndRefusesWithNoEventSelected) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->ApplySettings(SeaTalkOpenLine()));
    std::uint32_t events = 99;
    EXPECT_FALSE(device->WaitEvent(events, 1000));
    EXPECT_EQ(events, 0u);

    ASSERT_TRUE(device->SelectEvents(kEventTxEmpty));
    ASSERT_TRUE(device->WriteByte(0x86));
    EXPECT_TRUE(device->WaitEvent(events, 1000)) << device->LastError().message;
    EXPECT_EQ(events, kEventTxEmpty);
}

// The master never reads, so the pty's buffer fills; the write that finds
// no room must give up within its bound, and every write that succeeded
// must have put exactly one byte on the line.
TEST_F(LinuxSerialTest, WriteIntoAFullBufferTimesOutAfterWritingOneByteEachTime) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->ApplySettings(SeaTalkOpenLine()));
    Timeouts timeouts;
    timeouts.writeTotalConstant = 1;
    ASSERT_TRUE(device->ApplyTimeouts(timeouts));

    std::size_t written = 0;
    while (written < (std::size_t{1} << 22) && device->WriteByte(static_cast<std::uint8_t>('a' + written % 26))) {
        ++written;
    }
    EXPECT_EQ(device->LastError().kind, SerialErrorKind::TimedOut) << device->LastError().message;
    EXPECT_GT(written, 0u);

    const std::string line = DrainMaster(written);
    EXPECT_EQ(line.size(), written);
    EXPECT_FALSE(MasterHasData(50));
    EXPECT_EQ(line.substr(0, 3), "abc");
}

TEST_F(LinuxSerialTest, WriteToAHungUpPtyIsAnIoError) {
    std::unique_ptr<SerialDevice> device = OpenSlave();
    ASSERT_TRUE(device);
    close(m_master);
    m_master = -1;
    EXPECT_FALSE(device->WriteByte(0x42));
    EXPECT_EQ(device->LastError().kind, SerialErrorKind::Io) << device->LastError().message;
    EXPECT_EQ(device->LastError().osError, EIO);
}

class CountingSleeper final : public Sleeper {
public:
    void SleepMs(std::uint32_t ms) override { m_sleeps.push_back(ms); }
    std::vector<std::uint32_t> m_sleeps;
};

// A pty opens and takes the no-parity line like any port, so the port
// opens; the first byte needs parity, which the pty drops, so nothing may
// be written with the wrong ninth bit.
TEST_F(LinuxSerialTest, SeaTalkPortOpensAPtyButSendsNothingWithoutParity) {
    CountingSleeper sleeper;
    {
        CSeaTalkPort port(*m_pBackend, sleeper, nullptr);
        ASSERT_EQ(port.OpenPort(m_strSlave.c_str()), 1) << port.LastError().message;
        EXPECT_EQ(port.SendByte(0xA5, 1), 0);
        EXPECT_EQ(port.LastError().kind, SerialErrorKind::Unsupported);
        EXPECT_THAT(port.LastError().message, HasSubstr("parity"));
        EXPECT_FALSE(MasterHasData(200));
    }
    // Destroying the port gives the device back.
    EXPECT_TRUE(OpenSlave());
}

}  // namespace
}  // namespace vantrell
