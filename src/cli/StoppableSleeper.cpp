#include "StoppableSleeper.h"

#include <algorithm>
#include <ctime>

namespace vantrell {

namespace {

constexpr std::int64_t kNsPerMs = 1000000;
constexpr std::int64_t kNsPerS = 1000000000;

std::int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNsPerS + now.tv_nsec;
}

}  // namespace

void StoppableSleeper::SleepMs(std::uint32_t ms) {
    const std::int64_t deadline = NowNs() + static_cast<std::int64_t>(ms) * kNsPerMs;
    while (m_stopSignal == 0) {
        const std::int64_t now = NowNs();
        if (now >= deadline) return;
        const std::int64_t until = std::min(deadline, now + static_cast<std::int64_t>(m_nSliceMs) * kNsPerMs);
        timespec wake{};
        wake.tv_sec = static_cast<time_t>(until / kNsPerS);
        wake.tv_nsec = static_cast<long>(until % kNsPerS);
        // EINTR (a signal) and the end of a slice both lead back to the flag.
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
    }
}

}  // namespace vantrell
