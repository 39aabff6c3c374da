// A simulated serial backend and clock, for tests and benchmarks.
//
// Every call a port makes is recorded with its time on a simulated clock,
// and the line is modelled: each byte written becomes the frame a UART
// would send with the parity in force at that moment, queued behind the
// frame before it. Tests read the bus back as 9-bit SeaTalk characters.
// Pauses advance the simulated clock instead of waiting, so a test of a
// thousand bytes runs in microseconds.
//
// Ports keep their settings across close and reopen, like real devices,
// and a port is held by at most one open device at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SeaTalkWire.h"
#include "SerialDevice.h"
#include "Sleeper.h"

namespace vantrell {

// How a simulated port misbehaves. The default is a healthy UART.
struct SimulatedPortConfig {
    SerialErrorKind openError = SerialErrorKind::None;  // the open fails so
    bool dropsParity = false;      // like a UART without parity: settings with parity do not hold
    bool refusesSettings = false;  // every settings change is refused
    bool refusesTimeouts = false;
    int failWriteAt = -1;          // the write with this index (from 0) fails
    int vanishAfter = -1;          // after this many writes the device is gone (EIO)
    bool neverEmpties = false;     // the transmitter never reports empty
};

struct SimulatedOp {
    std::string what;   // "ReadSettings", "Sleep 10", "WriteByte 86", ...
    std::uint64_t atUs = 0;
    bool ok = true;
};

struct WireFrame {
    std::uint64_t startUs = 0;
    std::uint64_t endUs = 0;
    Frame bits;
};

class SimulatedSerial final : public SerialBackend {
public:
    SimulatedSerial();
    ~SimulatedSerial() override;

    // Adds a port the backend can open by name ("COM1", or a path).
    void AddPort(const std::string& name, SimulatedPortConfig config = {});
    SimulatedPortConfig& Config(const std::string& name);

    OpenResult Open(const std::string& name) override;

    // The simulated clock: pauses asked of it advance the time at once.
    Sleeper& Clock();
    std::uint64_t NowUs() const { return m_nowUs; }
    std::vector<std::uint32_t> Sleeps() const;

    const std::vector<SimulatedOp>& Ops() const { return m_ops; }
    // The names of the recorded operations, for order checks.
    std::vector<std::string> Trace() const;
    void ClearOps() { m_ops.clear(); }

    const std::vector<WireFrame>& Wire() const { return m_wire; }
    // The wire decoded into 9-bit characters. A frame sent without parity
    // carries no ninth bit: it is left out, and UndecodedFrames() counts it.
    std::vector<SeaTalkChar> Chars() const;
    std::size_t UndecodedFrames() const;
    // Settings changes that landed while a frame was still on the line.
    std::size_t ChangesWhileBusy() const { return m_changesWhileBusy; }

    bool IsHeld(const std::string& name) const;
    const LineSettings& Settings(const std::string& name) const;
    const Timeouts& TimeoutsOf(const std::string& name) const;
    std::uint32_t EventMask(const std::string& name) const;

private:
    class Device;
    class ClockImpl;
    struct Port {
        SimulatedPortConfig config;
        LineSettings settings;
        Timeouts timeouts;
        std::uint32_t eventMask = 0;
        bool held = false;
        int writes = 0;
    };

    void Record(std::string what, bool ok = true);
    Port& PortNamed(const std::string& name);
    const Port& PortNamed(const std::string& name) const;

    std::map<std::string, Port> m_ports;
    std::vector<SimulatedOp> m_ops;
    std::vector<WireFrame> m_wire;
    std::uint64_t m_nowUs = 0;
    std::uint64_t m_lineBusyUntilUs = 0;
    std::size_t m_changesWhileBusy = 0;
    std::unique_ptr<ClockImpl> m_clock;
};

}  // namespace vantrell
