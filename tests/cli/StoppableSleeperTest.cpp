#include "StoppableSleeper.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantrell {
namespace {

// A pause asked for after the stop must not begin: were the flag ignored,
// this would sleep for 49 days and the test would time out.
TEST(StoppableSleeperTest, APendingStopSkipsThePause) {
    volatile std::sig_atomic_t stop = SIGINT;
    StoppableSleeper sleeper(stop);
    sleeper.SleepMs(std::numeric_limits<std::uint32_t>::max());
    SUCCEED();
}

}  // namespace
}  // namespace vantrell
