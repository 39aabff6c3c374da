#include "StoppableSleeper.h"

#include <algorithm>

#include "Sleeper.h"

namespace vantrell {

namespace {

constexpr std::int64_t kNsPerMs = 1000000;

}  // namespace

void StoppableSleeper::SleepMs(std::uint32_t ms) {
    const std::int64_t deadline = MonotonicNowNs() + static_cast<std::int64_t>(ms) * kNsPerMs;
    while (m_stopSignal == 0) {
        const std::int64_t now = MonotonicNowNs();
        if (now >= deadline) return;
        const std::int64_t until = std::min(deadline, now + static_cast<std::int64_t>(m_nSliceMs) * kNsPerMs);
        // A signal and the end of a slice both lead back to the flag.
        SleepUntilNs(until);
    }
}

}  // namespace vantrell
