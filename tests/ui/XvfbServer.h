// A private X server for GUI tests and the start-up benchmark: Xvfb on a
// display of its own choosing, reported through -displayfd, so parallel
// test processes never race for a display number.
#pragma once

#include <sys/types.h>

#include <string>

namespace vantrell::test {

// Starts Xvfb and fills strDisplay with its number ("1"). Returns the
// server's pid, or -1 with strDisplay empty when it did not start within
// 30 s. The server gets SIGTERM when the calling process dies.
pid_t StartXvfb(std::string& strDisplay);

// Ends a server StartXvfb started.
void StopXvfb(pid_t pid);

}  // namespace vantrell::test
