// What the end-to-end tests share: a fixture that skips (or, in CI, fails)
// when this machine cannot host the virtual bus, and small helpers.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "BusLog.h"
#include "VirtualBus.h"

namespace vantrell::e2e {

class BusTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = CVirtualBus::Unavailable();
        if (why.empty()) return;
        // CI runs as root and must exercise the bus; a skip there would
        // hide a broken fixture.
        if (std::getenv("CI") != nullptr) FAIL() << "virtual bus unavailable in CI: " << why;
        GTEST_SKIP() << "virtual bus unavailable: " << why;
    }

    // Writes a script into dir and returns its path.
    static std::string WriteScript(const std::string& dir, const std::string& name, const std::string& text) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The run's trace, the pty's bytes checked against the log.
    static BusTrace Trace(const BusResult& result) { return ReadBusLog(result.log, result.wire); }

    // Expects the run to have ended with exitCode, leaving exactly these
    // datagrams (as BusTrace::Text writes them) on a wire without problems.
    static BusTrace ExpectOnBus(const BusResult& result, const std::string& datagrams, int exitCode = 0);
};

inline BusRun Command(std::vector<std::string> argv, std::vector<std::string> env = {}) {
    BusRun run;
    run.argv = std::move(argv);
    run.env = std::move(env);
    return run;
}

// Everything a failed expectation should show about a run.
inline std::string Describe(const BusResult& result) {
    return "exit " + std::to_string(result.exitCode) + (result.timedOut ? " (timed out)" : "") +
           (result.setupError.empty() ? "" : "\nsetup: " + result.setupError) + "\nstdout:\n" + result.out +
           "\nstderr:\n" + result.err;
}

inline std::string Problems(const BusTrace& trace) {
    std::string text;
    for (const std::string& problem : trace.problems) text += problem + "\n";
    return text;
}

inline BusTrace BusTest::ExpectOnBus(const BusResult& result, const std::string& datagrams, int exitCode) {
    EXPECT_EQ(result.exitCode, exitCode) << Describe(result);
    BusTrace trace = Trace(result);
    EXPECT_EQ(trace.Text(), datagrams);
    EXPECT_TRUE(trace.problems.empty()) << Problems(trace);
    return trace;
}

}  // namespace vantrell::e2e
