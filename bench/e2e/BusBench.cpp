// The real vantrell-send on the virtual bus, timed from the UART log.
//
//   e2e_bus_bench bytes [N]      one pass of an N-byte script (default 500):
//                                the time from each byte's write to the next
//                                byte's, median and 99th percentile, against
//                                the floor of three 10 ms pauses plus the
//                                byte's 11 bit times at 4800 baud
//   e2e_bus_bench repeat [N]     --repeat N --interval 1 (default 60) with a
//                                4-byte keystroke: the wall time against N
//                                passes' floor plus N pauses of 1 s (the
//                                pause follows every pass, the last included)
//
// The line is modelled, so the figures show what the program adds to the
// floor: its pauses' overshoot, its system calls, and how soon it notices
// that a byte has left. A benchmark, not a test: it prints and judges nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BusLog.h"
#include "SeaTalkPort.h"
#include "SeaTalkWire.h"
#include "VirtualBus.h"

using namespace vantrell;
using namespace vantrell::e2e;

namespace {

const double kFloorByteMs =
    3.0 * kParityPauseMs + static_cast<double>(FrameTimeUs(kSeaTalkBaud, Parity::Odd)) / 1000.0;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

bool RunOnBus(const std::vector<std::string>& args, const std::string& script, BusResult& result) {
    CVirtualBus bus;
    BusRun run;
    run.argv = {VANTRELL_SEND};
    run.argv.insert(run.argv.end(), args.begin(), args.end());
    const std::string path = bus.ScratchDir() + "/script.txt";
    if (FILE* file = std::fopen(path.c_str(), "w")) {
        std::fputs(script.c_str(), file);
        std::fclose(file);
    }
    run.argv.push_back(path);
    run.limit = std::chrono::minutes(10);
    result = bus.Run(run);
    if (result.exitCode != 0) {
        std::fprintf(stderr, "vantrell-send failed: exit %d%s\n%s%s", result.exitCode,
                     result.timedOut ? " (timed out)" : "", result.setupError.c_str(), result.err.c_str());
        return false;
    }
    return true;
}

int Bytes(int n) {
    std::string script;
    for (int i = 0; i < n; ++i) {
        char token[4];
        std::snprintf(token, sizeof token, "%02X ", (i * 37 + 11) & 0xFF);
        script += token;
    }
    BusResult result;
    if (!RunOnBus({"--interval", "0"}, script, result)) return 1;
    const BusTrace trace = ReadBusLog(result.log, result.wire);
    if (trace.bytes.size() != static_cast<std::size_t>(n) || !trace.problems.empty()) {
        std::fprintf(stderr, "the bus saw %zu bytes, %zu problems\n", trace.bytes.size(), trace.problems.size());
        for (const std::string& problem : trace.problems) std::fprintf(stderr, "  %s\n", problem.c_str());
        return 1;
    }
    std::vector<double> perByte;
    for (std::size_t i = 1; i < trace.bytes.size(); ++i) {
        perByte.push_back(static_cast<double>(trace.bytes[i].written - trace.bytes[i - 1].written) / 1e6);
    }
    // Where a byte's time goes: the two pauses around the parity edit (from
    // reading the settings to applying them), the pause before the write,
    // and the wait for the byte to leave (from the write to reading the
    // settings for the next byte).
    std::vector<double> beforeApply, beforeWrite, untilNext;
    std::int64_t lastGet = -1, lastSet = -1, lastWrite = -1;
    for (const BusEvent& event : trace.events) {
        if (event.kind == "get" && lastWrite >= 0) {
            untilNext.push_back(static_cast<double>(event.t - lastWrite) / 1e6);
            lastWrite = -1;
        }
        if (event.kind == "get") lastGet = event.t;
        if (event.kind == "set" && lastGet >= 0) {
            beforeApply.push_back(static_cast<double>(event.t - lastGet) / 1e6);
            lastSet = event.t;
        }
        if (event.kind == "write" && lastSet >= 0) {
            beforeWrite.push_back(static_cast<double>(event.t - lastSet) / 1e6);
            lastWrite = event.t;
        }
    }
    const double median = Percentile(perByte, 50);
    const double p99 = Percentile(perByte, 99);
    const double worst = Percentile(perByte, 100);
    std::printf("bytes: %d bytes, %zu byte-to-byte intervals from the UART log\n", n, perByte.size());
    std::printf("bytes: floor %.3f ms a byte (3 x %u ms pauses + %.3f ms on the line)\n", kFloorByteMs,
                kParityPauseMs, kFloorByteMs - 3.0 * kParityPauseMs);
    std::printf("bytes: median %.3f ms = %.4f x floor (goal <= 1.02)\n", median, median / kFloorByteMs);
    std::printf("bytes: p99    %.3f ms = %.4f x floor (goal <= 1.05)\n", p99, p99 / kFloorByteMs);
    std::printf("bytes: max    %.3f ms = %.4f x floor\n", worst, worst / kFloorByteMs);
    if (!beforeApply.empty() && !beforeWrite.empty() && !untilNext.empty()) {
        std::printf("bytes: median parts: read settings -> apply %.3f ms (floor 20), apply -> write %.3f ms "
                    "(floor 10), write -> next read %.3f ms (floor %.3f)\n",
                    Percentile(beforeApply, 50), Percentile(beforeWrite, 50), Percentile(untilNext, 50),
                    kFloorByteMs - 3.0 * kParityPauseMs);
    }
    return 0;
}

int Repeat(int passes) {
    const std::string script = "86 21 01 FE";
    const int bytesPerPass = 4;
    BusResult result;
    if (!RunOnBus({"--repeat", std::to_string(passes), "--interval", "1"}, script, result)) return 1;
    const BusTrace trace = ReadBusLog(result.log, result.wire);
    if (trace.Datagrams().size() != static_cast<std::size_t>(passes) || !trace.problems.empty()) {
        std::fprintf(stderr, "the bus saw %zu datagrams, %zu problems\n", trace.Datagrams().size(),
                     trace.problems.size());
        return 1;
    }
    const double floorS = passes * (bytesPerPass * kFloorByteMs / 1000.0 + 1.0);
    const double wallS = static_cast<double>(result.wall.count()) / 1e9;
    std::printf("repeat: %d passes of %d bytes, 1 s after each\n", passes, bytesPerPass);
    std::printf("repeat: floor %.3f s (%d x %.2f ms + %d x 1 s)\n", floorS, passes, bytesPerPass * kFloorByteMs,
                passes);
    std::printf("repeat: wall  %.3f s = %.4f x floor, %+.3f s (goal within 1 %%)\n", wallS, wallS / floorS,
                wallS - floorS);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::string(VANTRELL_SEND).empty()) {
        std::fprintf(stderr, "e2e_bus_bench: vantrell-send is not built in this tree\n");
        return 1;
    }
    if (const std::string why = CVirtualBus::Unavailable(); !why.empty()) {
        std::fprintf(stderr, "e2e_bus_bench: %s\n", why.c_str());
        return 1;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    const int n = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "bytes") return Bytes(n > 1 ? n : 500);
    if (mode == "repeat") return Repeat(n > 0 ? n : 60);
    std::fprintf(stderr, "usage: e2e_bus_bench bytes [N] | repeat [N]\n");
    return 2;
}
