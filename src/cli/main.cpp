// vantrell-send: sends a command script onto a SeaTalk bus from a terminal,
// an SSH session or cron. main only wires the real world to the run: the
// machine's serial ports, real pauses, a monotonic clock, the standard
// streams, and the signals that stop a send.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "ComPortMap.h"
#include "LinuxSerial.h"
#include "PortList.h"
#include "SendRun.h"
#include "Sleeper.h"
#include "StoppableSleeper.h"

namespace {

volatile std::sig_atomic_t g_nStopSignal = 0;

// The first signal asks the send to stop after the byte on the wire; the
// handler then reverts to the default (SA_RESETHAND), so a second Ctrl-C
// ends the program at once should the first one seem to hang.
void OnStopSignal(int nSignal) { g_nStopSignal = nSignal; }

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (const int nSignal : {SIGINT, SIGTERM, SIGHUP}) sigaction(nSignal, &action, nullptr);
}

std::uint64_t MonotonicMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

int main(int argc, char** argv) {
    InstallStopHandlers();

    vantrell::StoppableSleeper pauseSleeper(g_nStopSignal);
    vantrell::SendEnvironment env{
        vantrell::SystemSerialBackend(),
        vantrell::SystemSleeper(),
        pauseSleeper,
        MonotonicMs,
        [](std::ostream& out) { return vantrell::WritePortList(vantrell::ComPortMap().Scan(), out); },
        std::cout,
        std::cerr,
        g_nStopSignal,
        isatty(STDERR_FILENO) == 1,
    };
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return vantrell::RunSendProgram(args, env);
}
