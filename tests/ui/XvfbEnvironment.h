// GUI tests run on an X server of their own: the environment starts Xvfb
// on a free display (it reports the number through -displayfd, so parallel
// test processes never race for one), points DISPLAY at it, and starts wx.
// A wx assertion fails the running test instead of opening a dialog.
#pragma once

namespace vantrell::test {

// Registered once per test program by linking XvfbEnvironment.cpp.
void RegisterXvfbEnvironment();

}  // namespace vantrell::test
