#include "XvfbEnvironment.h"

#include <sys/types.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>

#include "XvfbServer.h"

namespace vantrell::test {
namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE() << "wx assertion at " << file.utf8_str().data() << ":" << line << " in "
                  << func.utf8_str().data() << ": " << cond.utf8_str().data() << " " << msg.utf8_str().data();
}

class XvfbEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        std::string strDisplay;
        m_pid = StartXvfb(strDisplay);
        ASSERT_GT(m_pid, 0) << "Xvfb did not start (scripts/setup.sh installs it)";
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
        StopXvfb(m_pid);
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
