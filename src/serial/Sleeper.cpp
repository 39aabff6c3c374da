#include "Sleeper.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

namespace vantrell {

namespace {

constexpr std::int64_t kSpinNs = 200000;
constexpr std::int64_t kNsPerS = 1000000000;

}  // namespace

std::int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * kNsPerS + now.tv_nsec;
}

bool SleepUntilNs(std::int64_t deadlineNs) {
    const timespec until{static_cast<time_t>(deadlineNs / kNsPerS), static_cast<long>(deadlineNs % kNsPerS)};
    return clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != EINTR;
}

void PreciseSleeper::SleepMs(std::uint32_t ms) {
    // The kernel may fire a sleeping thread's timer up to its slack late
    // (50 us by default) to batch wake-ups; three pauses a byte would pay
    // that three times. A thread-wide setting, made once.
    static thread_local const bool tightSlack = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    static_cast<void>(tightSlack);

    const std::int64_t deadline = MonotonicNowNs() + std::int64_t{ms} * 1000000;

    // Sleep to just short of the deadline, then spin the rest: a wake-up
    // on a virtual machine runs 100 us or more late, which on three pauses
    // a byte would cost about 1 % of the bus. Spinning the last 200 us of
    // each 10 ms pause costs about 2 % of one core while sending.
    const std::int64_t wake = deadline - kSpinNs;
    if (wake > MonotonicNowNs()) {
        while (!SleepUntilNs(wake)) {
        }
    }
    while (MonotonicNowNs() < deadline) {
    }
}

Sleeper& SystemSleeper() {
    static PreciseSleeper sleeper;
    return sleeper;
}

}  // namespace vantrell
