// Pauses go through this interface so tests can count them instead of
// waiting them out, and so the real pauses can be as precise as the kernel
// allows: a SeaTalk byte costs three 10 ms pauses, and sloppy sleeps add up
// over a long script.
#pragma once

#include <cstdint>

namespace vantrell {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// Sleeps on CLOCK_MONOTONIC to an absolute deadline, so a signal that
// interrupts the sleep does not shorten or stretch it.
class PreciseSleeper final : public Sleeper {
public:
    void SleepMs(std::uint32_t ms) override;
};

// The sleeper the programs use.
Sleeper& SystemSleeper();

// CLOCK_MONOTONIC, in nanoseconds.
std::int64_t MonotonicNowNs();

// Sleeps until deadlineNs on CLOCK_MONOTONIC. Returns false when a signal
// cut the sleep short; a caller that must not wake early sleeps again with
// the same deadline, which neither shortens nor stretches the pause.
bool SleepUntilNs(std::int64_t deadlineNs);

}  // namespace vantrell
