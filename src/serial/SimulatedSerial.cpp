#include "SimulatedSerial.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vantrell {

class SimulatedSerial::ClockImpl final : public Sleeper {
public:
    explicit ClockImpl(SimulatedSerial& sim) : m_sim(sim) {}
    void SleepMs(std::uint32_t ms) override {
        m_sim.Record("Sleep " + std::to_string(ms));
        m_sim.m_nowUs += std::uint64_t{ms} * 1000;
    }

private:
    SimulatedSerial& m_sim;
};

class SimulatedSerial::Device final : public SerialDevice {
public:
    Device(SimulatedSerial& sim, std::string name)
        : m_sim(sim), m_name(std::move(name)), m_port(sim.PortNamed(m_name)) {}

    ~Device() override {
        m_port.held = false;
        m_sim.Record("Close");
    }

    bool ReadSettings(LineSettings& settings) override {
        if (Gone("ReadSettings")) return false;
        settings = m_port.settings;
        return Ok("ReadSettings");
    }

    bool ApplySettings(const LineSettings& settings) override {
        if (Gone("ApplySettings")) return false;
        const SimulatedPortConfig& config = m_port.config;
        if (config.refusesSettings) return Refuse("ApplySettings", SerialErrorKind::Unsupported, "settings refused");
        if (config.dropsParity && settings.parity != Parity::None) {
            return Refuse("ApplySettings", SerialErrorKind::Unsupported, "the device dropped the parity setting");
        }
        if (m_sim.m_nowUs < m_sim.m_lineBusyUntilUs) ++m_sim.m_changesWhileBusy;
        m_port.settings = settings;
        return Ok("ApplySettings");
    }

    bool ReadTimeouts(Timeouts& timeouts) override {
        if (Gone("ReadTimeouts")) return false;
        timeouts = m_port.timeouts;
        return Ok("ReadTimeouts");
    }

    bool ApplyTimeouts(const Timeouts& timeouts) override {
        if (Gone("ApplyTimeouts")) return false;
        if (m_port.config.refusesTimeouts) return Refuse("ApplyTimeouts", SerialErrorKind::Unsupported, "timeouts refused");
        m_port.timeouts = timeouts;
        return Ok("ApplyTimeouts");
    }

    bool SelectEvents(std::uint32_t mask) override {
        if (Gone("SelectEvents")) return false;
        m_port.eventMask = mask;
        return Ok("SelectEvents");
    }

    bool WriteByte(std::uint8_t byte) override {
        char what[16];
        std::snprintf(what, sizeof what, "WriteByte %02X", byte);
        if (Gone(what)) return false;
        const int index = m_port.writes++;
        if (index == m_port.config.failWriteAt) return Refuse(what, SerialErrorKind::Io, std::strerror(EIO));

        WireFrame frame;
        frame.startUs = std::max(m_sim.m_nowUs, m_sim.m_lineBusyUntilUs);
        frame.endUs = frame.startUs + FrameTimeUs(m_port.settings.baudRate, m_port.settings.parity);
        frame.bits = EncodeFrame(byte, m_port.settings.parity);
        m_sim.m_lineBusyUntilUs = frame.endUs;
        m_sim.m_wire.push_back(std::move(frame));
        return Ok(what);
    }

    bool WaitEvent(std::uint32_t& events, std::uint32_t limitMs) override {
        events = 0;
        if (Gone("WaitEvent")) return false;
        if ((m_port.eventMask & kEventTxEmpty) == 0) {
            return Refuse("WaitEvent", SerialErrorKind::Other, "no event selected");
        }
        if (m_port.config.neverEmpties) {
            m_sim.m_nowUs += std::uint64_t{limitMs} * 1000;
            return Refuse("WaitEvent", SerialErrorKind::TimedOut, "the byte did not leave the transmitter in time");
        }
        m_sim.m_nowUs = std::max(m_sim.m_nowUs, m_sim.m_lineBusyUntilUs);
        events = kEventTxEmpty;
        return Ok("WaitEvent");
    }

    const std::string& Path() const override { return m_name; }
    const SerialError& LastError() const override { return m_error; }

private:
    bool Ok(const std::string& what) {
        m_sim.Record(what);
        return true;
    }

    bool Refuse(const std::string& what, SerialErrorKind kind, const std::string& message) {
        m_error = SerialError{kind, kind == SerialErrorKind::Io ? EIO : 0, message};
        m_sim.Record(what, false);
        return false;
    }

    // An unplugged adapter fails everything from then on.
    bool Gone(const std::string& what) {
        const int vanishAfter = m_port.config.vanishAfter;
        if (vanishAfter < 0 || m_port.writes < vanishAfter) return false;
        Refuse(what, SerialErrorKind::Io, std::strerror(EIO));
        return true;
    }

    SimulatedSerial& m_sim;
    std::string m_name;
    Port& m_port;
    SerialError m_error;
};

SimulatedSerial::SimulatedSerial() : m_clock(std::make_unique<ClockImpl>(*this)) {}

SimulatedSerial::~SimulatedSerial() = default;

void SimulatedSerial::AddPort(const std::string& name, SimulatedPortConfig config) {
    Port port;
    port.config = config;
    // What a freshly opened Linux UART looks like: 9600 8N1, modem lines up.
    port.settings.baudRate = 9600;
    port.settings.dtr = true;
    port.settings.rts = true;
    m_ports[name] = port;
}

SimulatedPortConfig& SimulatedSerial::Config(const std::string& name) { return PortNamed(name).config; }

SerialBackend::OpenResult SimulatedSerial::Open(const std::string& name) {
    OpenResult result;
    result.path = name;
    auto it = m_ports.find(name);
    SerialErrorKind failure = SerialErrorKind::None;
    if (it == m_ports.end()) {
        failure = SerialErrorKind::NotFound;
    } else if (it->second.held) {
        failure = SerialErrorKind::Busy;
    } else {
        failure = it->second.config.openError;
    }
    if (failure != SerialErrorKind::None) {
        static const std::map<SerialErrorKind, std::pair<int, const char*>> kReasons = {
            {SerialErrorKind::NotFound, {ENOENT, "No such file or directory"}},
            {SerialErrorKind::Busy, {EBUSY, "Device or resource busy"}},
            {SerialErrorKind::AccessDenied, {EACCES, "Permission denied"}},
            {SerialErrorKind::NotSerial, {ENOTTY, "Inappropriate ioctl for device"}},
        };
        auto reason = kReasons.find(failure);
        result.error.kind = failure;
        result.error.osError = reason != kReasons.end() ? reason->second.first : EIO;
        result.error.message = reason != kReasons.end() ? reason->second.second : "open failed";
        Record("Open " + name, false);
        return result;
    }
    it->second.held = true;
    it->second.writes = 0;
    Record("Open " + name);
    result.device = std::make_unique<Device>(*this, name);
    return result;
}

Sleeper& SimulatedSerial::Clock() { return *m_clock; }

std::vector<std::uint32_t> SimulatedSerial::Sleeps() const {
    std::vector<std::uint32_t> sleeps;
    for (const SimulatedOp& op : m_ops) {
        if (op.what.rfind("Sleep ", 0) == 0) sleeps.push_back(static_cast<std::uint32_t>(std::stoul(op.what.substr(6))));
    }
    return sleeps;
}

std::vector<std::string> SimulatedSerial::Trace() const {
    std::vector<std::string> names;
    names.reserve(m_ops.size());
    for (const SimulatedOp& op : m_ops) names.push_back(op.ok ? op.what : op.what + " (failed)");
    return names;
}

std::vector<SeaTalkChar> SimulatedSerial::Chars() const {
    std::vector<SeaTalkChar> chars;
    for (const WireFrame& frame : m_wire) {
        if (auto ch = DecodeFrame(frame.bits)) chars.push_back(*ch);
    }
    return chars;
}

std::size_t SimulatedSerial::UndecodedFrames() const {
    std::size_t count = 0;
    for (const WireFrame& frame : m_wire) count += DecodeFrame(frame.bits) ? 0 : 1;
    return count;
}

bool SimulatedSerial::IsHeld(const std::string& name) const { return PortNamed(name).held; }
const LineSettings& SimulatedSerial::Settings(const std::string& name) const { return PortNamed(name).settings; }
const Timeouts& SimulatedSerial::TimeoutsOf(const std::string& name) const { return PortNamed(name).timeouts; }
std::uint32_t SimulatedSerial::EventMask(const std::string& name) const { return PortNamed(name).eventMask; }

void SimulatedSerial::Record(std::string what, bool ok) { m_ops.push_back({std::move(what), m_nowUs, ok}); }

SimulatedSerial::Port& SimulatedSerial::PortNamed(const std::string& name) {
    auto it = m_ports.find(name);
    if (it == m_ports.end()) throw std::out_of_range("no simulated port " + name);
    return it->second;
}

const SimulatedSerial::Port& SimulatedSerial::PortNamed(const std::string& name) const {
    auto it = m_ports.find(name);
    if (it == m_ports.end()) throw std::out_of_range("no simulated port " + name);
    return it->second;
}

}  // namespace vantrell
