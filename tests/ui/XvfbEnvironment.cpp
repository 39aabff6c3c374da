#include "XvfbEnvironment.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>

namespace vantrell::test {
namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE() << "wx assertion at " << file.utf8_str().data() << ":" << line << " in "
                  << func.utf8_str().data() << ": " << cond.utf8_str().data() << " " << msg.utf8_str().data();
}

class XvfbEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        m_pid = fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            // The server goes with the test, also when a timeout kills it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const std::string strFd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string strDisplay;
        pollfd waitFor{fds[0], POLLIN, 0};
        // A bound on the wait only, so a missing Xvfb fails instead of hanging.
        while (poll(&waitFor, 1, 30000) > 0) {
            char ch = 0;
            if (read(fds[0], &ch, 1) != 1 || ch == '\n') break;
            strDisplay.push_back(ch);
        }
        close(fds[0]);
        ASSERT_FALSE(strDisplay.empty()) << "Xvfb did not start (scripts/setup.sh installs it)";
        setenv("DISPLAY", (":" + strDisplay).c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);

        wxSetAssertHandler(FailOnAssert);
        static char szName[] = "vantrell-gui-test";
        static char* argv[] = {szName, nullptr};
        int argc = 1;
        wxApp::SetInstance(new wxApp());
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "wx could not open the display";
        m_bStarted = true;
    }

    void TearDown() override {
        if (m_bStarted) wxEntryCleanup();
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
    bool m_bStarted = false;
};

}  // namespace

void RegisterXvfbEnvironment() {
    static const bool bRegistered = (::testing::AddGlobalTestEnvironment(new XvfbEnvironment), true);
    static_cast<void>(bRegistered);
}

namespace {
const bool kRegistered = (RegisterXvfbEnvironment(), true);
}

}  // namespace vantrell::test
