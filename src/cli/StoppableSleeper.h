// The pause between passes, cut short when the user asks the send to stop.
//
// A pause of a minute must not keep Ctrl-C waiting for a minute. The sleep
// runs to an absolute deadline on CLOCK_MONOTONIC, in slices of at most
// 50 ms, and looks at the stop flag before each slice. A signal also wakes
// the sleep at once (clock_nanosleep is never restarted after a handler);
// the slices only cover a signal that lands between the look at the flag
// and the start of the sleep. With the absolute deadline the slices add no
// drift: a thousand one-second pauses last a thousand seconds.
//
// Only the pause between passes goes through this. The port's own 10 ms
// pauses around a byte must run to their end even when a stop is pending,
// or the byte in flight could be cut off by the next parity switch.
#pragma once

#include <csignal>
#include <cstdint>

#include "Sleeper.h"

namespace vantrell {

class StoppableSleeper final : public Sleeper {
public:
    // stopSignal is non-zero once a stop is asked; it must outlive the sleeper.
    explicit StoppableSleeper(const volatile std::sig_atomic_t& stopSignal, std::uint32_t nSliceMs = 50)
        : m_stopSignal(stopSignal), m_nSliceMs(nSliceMs == 0 ? 1 : nSliceMs) {}

    // Returns when ms have passed or as soon as the flag is set, whichever
    // comes first; at once when the flag is already set.
    void SleepMs(std::uint32_t ms) override;

private:
    const volatile std::sig_atomic_t& m_stopSignal;
    std::uint32_t m_nSliceMs;
};

}  // namespace vantrell
