// Figures for the core, printed, not judged.
//
//   core_bench bytes [N]       N bytes (500) through a simulated port with the
//                              real sleeper: time per byte against the 30 ms
//                              of pauses every byte is made of.
//   core_bench pass SIZE       one pass over a SIZE-byte script through a
//                              port that does nothing, with pauses that return
//                              at once: CPU time per token and peak memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "ScriptPass.h"
#include "SeaTalkPort.h"
#include "SimulatedSerial.h"
#include "Sleeper.h"

using namespace vantrell;

namespace {

class NullDevice final : public SerialDevice {
public:
    bool ReadSettings(LineSettings& s) override { s = m_settings; return true; }
    bool ApplySettings(const LineSettings& s) override { m_settings = s; return true; }
    bool ReadTimeouts(Timeouts& t) override { t = {}; return true; }
    bool ApplyTimeouts(const Timeouts&) override { return true; }
    bool SelectEvents(std::uint32_t) override { return true; }
    bool WriteByte(std::uint8_t) override { return true; }
    bool WaitEvent(std::uint32_t& events, std::uint32_t) override { events = kEventTxEmpty; return true; }
    const std::string& Path() const override { return m_path; }
    const SerialError& LastError() const override { return m_error; }

private:
    LineSettings m_settings;
    std::string m_path = "null";
    SerialError m_error;
};

class NullBackend final : public SerialBackend {
public:
    OpenResult Open(const std::string& name) override {
        OpenResult result;
        result.path = name;
        result.device = std::make_unique<NullDevice>();
        return result;
    }
};

class NoPause final : public Sleeper {
public:
    void SleepMs(std::uint32_t) override {}
};

class QuietObserver final : public PassObserver {
public:
    void UpdateControls() override {}
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Bytes(int count) {
    SimulatedSerial sim;
    sim.AddPort("COM1");
    CSeaTalkPort port(sim, SystemSleeper(), nullptr);
    if (port.OpenPort("COM1") == 0) return 1;

    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        port.SendByte(i & 0xFF, i == 0);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    const double floor = 30.0;
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    std::printf("bytes: %d through a simulated port with real pauses (floor %.2f ms)\n", count, floor);
    std::printf("  median %.3f ms = %.4f x floor (goal <= 1.01)\n", median, median / floor);
    std::printf("  p99    %.3f ms = %.4f x floor (goal <= 1.05)\n", p99, p99 / floor);
    std::printf("  max    %.3f ms\n", ms.back());
    return 0;
}

int Pass(long size) {
    char dir[] = "/tmp/vantrell-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    const std::string path = std::string(dir) + "/script.ray";
    {
        // Datagram-like content: two-digit tokens, a line end every 16.
        std::string text;
        text.reserve(static_cast<std::size_t>(size));
        static const char kHex[] = "0123456789ABCDEF";
        for (long i = 0; static_cast<long>(text.size()) + 3 <= size; ++i) {
            text += kHex[(i >> 4) & 15];
            text += kHex[i & 15];
            text += (i % 16 == 15) ? '\n' : ' ';
        }
        std::ofstream(path, std::ios::binary) << text;
    }

    NullBackend backend;
    NoPause noPause;
    CSeaTalkPort port(backend, noPause, nullptr);
    port.OpenPort("COM1");
    QuietObserver observer;
    std::string echo;

    const long baseKiB = PeakKiB();
    const double start = CpuSeconds();
    const PassResult result = RunScriptPass(&port, path, echo, observer);
    const double cpu = CpuSeconds() - start;
    std::remove(path.c_str());
    rmdir(dir);

    const double tokens = static_cast<double>(result.nBytesSent);
    std::printf("pass: %ld bytes, %zu tokens: cpu %.4f s, %.1f ns/token, peak %ld KiB (%+ld KiB over start)\n", size,
                result.nBytesSent, cpu, tokens > 0 ? cpu * 1e9 / tokens : 0.0, PeakKiB(), PeakKiB() - baseKiB);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bytes") return Bytes(argc > 2 ? std::atoi(argv[2]) : 500);
    if (mode == "pass" && argc > 2) return Pass(std::atol(argv[2]));
    std::fprintf(stderr, "usage: core_bench bytes [N] | pass SIZE\n");
    return 2;
}
