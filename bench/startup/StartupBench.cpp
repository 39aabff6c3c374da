// Start-up benchmark: time from spawning a program to its first top-level
// window being mapped on the X server, and the program's peak resident
// memory, for Vantrell and for a bare wx dialog program in the same run.
//
//   startup_bench RUNS PROGRAM BASELINE [BASELINE ...]
//
// All run on a private Xvfb, interleaved run by run so that a busy moment
// of the machine falls on each alike; the first run of each is a warm-up
// and not counted. Each program is ended with SIGTERM once its window is
// up; wait4 then reports its peak resident set. Prints medians and the
// ratios the goal is stated in; judges nothing.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "XvfbServer.h"

namespace {

struct Sample {
    double startupMs = 0;
    long peakKb = 0;
};

// Runs strProgram until its first real top-level window maps.
bool Measure(Display* pDisplay, const std::string& strProgram, Sample& sample) {
    XSync(pDisplay, True);  // drop events of earlier runs
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(strProgram.c_str(), strProgram.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool bShown = false;
    const int nFd = ConnectionNumber(pDisplay);
    while (!bShown) {
        if (XPending(pDisplay) == 0) {
            pollfd waitFor{nFd, POLLIN, 0};
            if (poll(&waitFor, 1, 30000) <= 0) break;
            continue;
        }
        XEvent event;
        XNextEvent(pDisplay, &event);
        if (event.type != MapNotify || event.xmap.override_redirect) continue;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(pDisplay, event.xmap.window, &attributes) != 0 && attributes.width > 50) bShown = true;
    }
    const auto t1 = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int nStatus = 0;
    rusage usage{};
    wait4(pid, &nStatus, 0, &usage);
    sample.startupMs = std::chrono::duration<double, std::milli>(t1 - t0).count();
    sample.peakKb = usage.ru_maxrss;
    return bShown;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s RUNS PROGRAM BASELINE [BASELINE ...]\n", argv[0]);
        return 2;
    }
    const int nRuns = std::max(1, std::atoi(argv[1]));
    const std::vector<std::string> programs(argv + 2, argv + argc);
    const std::size_t nPrograms = programs.size();

    std::string strDisplay;
    const pid_t xvfb = vantrell::test::StartXvfb(strDisplay);
    if (xvfb <= 0) {
        std::fprintf(stderr, "startup_bench: Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", (":" + strDisplay).c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        std::fprintf(stderr, "startup_bench: cannot open display :%s\n", strDisplay.c_str());
        vantrell::test::StopXvfb(xvfb);
        return 1;
    }
    XSelectInput(pDisplay, DefaultRootWindow(pDisplay), SubstructureNotifyMask);

    std::vector<std::vector<double>> times(nPrograms);
    std::vector<std::vector<double>> peaks(nPrograms);
    int nFailed = 0;
    for (int nRun = 0; nRun <= nRuns; ++nRun) {
        for (std::size_t i = 0; i < nPrograms; ++i) {
            Sample sample;
            if (!Measure(pDisplay, programs[i], sample)) {
                ++nFailed;
                continue;
            }
            if (nRun == 0) continue;  // warm-up
            times[i].push_back(sample.startupMs);
            peaks[i].push_back(static_cast<double>(sample.peakKb));
        }
    }
    XCloseDisplay(pDisplay);
    vantrell::test::StopXvfb(xvfb);
    if (nFailed > 0) {
        std::fprintf(stderr, "startup_bench: %d runs showed no window\n", nFailed);
        return 1;
    }

    const auto name = [&programs](std::size_t i) {
        const std::size_t nSlash = programs[i].find_last_of('/');
        return programs[i].substr(nSlash == std::string::npos ? 0 : nSlash + 1);
    };
    const double tProgram = Median(times[0]);
    const double mProgram = Median(peaks[0]) / 1024.0;
    std::printf("runs: %d of each, interleaved, after one warm-up; medians\n", nRuns);
    std::printf("%-14s start-up %7.1f ms (min %6.1f)   peak RSS %6.1f MB\n", name(0).c_str(), tProgram,
                *std::min_element(times[0].begin(), times[0].end()), mProgram);
    for (std::size_t i = 1; i < nPrograms; ++i) {
        const double t = Median(times[i]);
        const double m = Median(peaks[i]) / 1024.0;
        std::printf("%-14s start-up %7.1f ms (min %6.1f)   peak RSS %6.1f MB   -> time x%.2f (goal <= 1.20), "
                    "memory %+.1f MB (goal <= +10)\n",
                    name(i).c_str(), t, *std::min_element(times[i].begin(), times[i].end()), m, tProgram / t,
                    mProgram - m);
    }
    return 0;
}
