#include "Sleeper.h"

#include <cerrno>
#include <ctime>

namespace vantrell {

void PreciseSleeper::SleepMs(std::uint32_t ms) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    // An absolute deadline lets a signal interrupt the sleep without
    // changing when it ends.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

Sleeper& SystemSleeper() {
    static PreciseSleeper sleeper;
    return sleeper;
}

}  // namespace vantrell
