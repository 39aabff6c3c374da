// VbusRun: runs one program on the virtual bus from the command line, for
// people looking into a failure and for the benchmark script.
//
//   VbusRun [--log FILE] [--device NAME] [--env NAME=VALUE]... -- PROGRAM [ARG...]
//
// The program's stdout and stderr are passed on; then the datagrams seen on
// the wire and any problems go to stderr after a "vbus:" prefix, and the
// VirtualUart log is copied to FILE when asked. Exits with the program's
// status, or 125 when the bus cannot run here.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "BusLog.h"
#include "VirtualBus.h"

using namespace vantrell::e2e;

int main(int argc, char** argv) {
    std::string logCopy;
    BusLayout layout;
    BusRun run;
    run.limit = std::chrono::hours(24);
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) break;
        if (arg == "--log") {
            logCopy = argv[++i];
        } else if (arg == "--device") {
            layout.deviceName = argv[++i];
        } else if (arg == "--env") {
            run.env.emplace_back(argv[++i]);
        } else {
            break;
        }
    }
    if (i >= argc) {
        std::cerr << "usage: VbusRun [--log FILE] [--device NAME] [--env NAME=VALUE]... -- PROGRAM [ARG...]\n";
        return 2;
    }
    if (const std::string why = CVirtualBus::Unavailable(); !why.empty()) {
        std::cerr << "vbus: " << why << '\n';
        return 125;
    }
    for (; i < argc; ++i) run.argv.emplace_back(argv[i]);
    // The program runs in the bus's scratch directory; a relative path is
    // meant from here.
    if (run.argv[0].find('/') != std::string::npos) run.argv[0] = std::filesystem::absolute(run.argv[0]).string();
    run.cwd = std::filesystem::current_path().string();

    CVirtualBus bus(layout);
    const BusResult result = bus.Run(run);
    std::cout << result.out << std::flush;
    std::cerr << result.err;
    if (!result.setupError.empty()) {
        std::cerr << result.setupError << '\n';
        return 125;
    }
    if (!logCopy.empty()) std::ofstream(logCopy, std::ios::binary) << result.log;

    const BusTrace trace = ReadBusLog(result.log, result.wire);
    std::cerr << "vbus: wire: " << trace.Text() << '\n';
    for (const std::string& problem : trace.problems) std::cerr << "vbus: problem: " << problem << '\n';
    std::cerr << "vbus: wall " << static_cast<double>(result.wall.count()) / 1e9 << " s\n";
    return result.signal != 0 ? 128 + result.signal : result.exitCode;
}
