// The dialog program, unmodified, driven as a person would under Xvfb with
// xdotool: Com1, Load through the real GTK file chooser, Send, then Send N
// times with 2 in the repeat box, and Esc to end. The bytes are read off
// the virtual bus.
//
// Controls are found from the dialog's own template: the dialog's client
// area is the template's size in dialog units, so the window's size in
// pixels gives the scale. Every wait is for something the program does (a
// window appears, bytes reach the bus) and has a bound; none is a timing
// that is asserted.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "BusTest.h"
#include "DialogTemplate.h"
#include "Resource.h"

namespace vantrell::e2e {
namespace {

using Clock = std::chrono::steady_clock;

// An X server of the test's own, on whatever display number is free.
class CXvfb {
public:
    CXvfb() {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeFds[1], 3);  // dup2 clears close-on-exec on fd 3
            int devNull = ::open("/dev/null", O_RDWR);
            ::dup2(devNull, 0);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(pipeFds[1]);
        // Xvfb writes the display number once it accepts clients.
        pollfd ready{pipeFds[0], POLLIN, 0};
        std::string number;
        while (m_pid > 0 && ::poll(&ready, 1, 20000) > 0) {
            char c = 0;
            if (::read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(pipeFds[0]);
        if (!number.empty()) m_strDisplay = ":" + number;
    }

    ~CXvfb() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    CXvfb(const CXvfb&) = delete;
    CXvfb& operator=(const CXvfb&) = delete;

    // Empty when the server did not come up.
    const std::string& Display() const { return m_strDisplay; }

private:
    pid_t m_pid = -1;
    std::string m_strDisplay;
};

class DialogTest : public BusTest {
protected:
    void SetUp() override {
        BusTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        for (const char* tool : {"Xvfb", "xdotool"}) {
            if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0) {
                if (std::getenv("CI") != nullptr) FAIL() << tool << " is missing (scripts/setup.sh installs it)";
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        m_pXvfb = std::make_unique<CXvfb>();
        ASSERT_FALSE(m_pXvfb->Display().empty()) << "Xvfb did not start";
    }

    // xdotool with its arguments on our display, bounded in time; its
    // stdout, or nullopt when it failed.
    std::optional<std::string> Xdo(const std::string& args, int limitS = 30) {
        const std::string command = "DISPLAY=" + m_pXvfb->Display() + " timeout " + std::to_string(limitS) +
                                    " xdotool " + args + " 2>/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return std::nullopt;
        std::string out;
        char buf[256];
        while (std::fgets(buf, sizeof buf, pipe) != nullptr) out += buf;
        const int status = ::pclose(pipe);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
        return out;
    }

    // The first visible window whose name matches, waited for.
    std::string WaitWindow(const std::string& namePattern) {
        const auto out = Xdo("search --sync --onlyvisible --name '" + namePattern + "'");
        if (!out) return {};
        return out->substr(0, out->find('\n'));
    }

    // The centre of control nId in window w, in the window's pixels.
    std::pair<int, int> ControlCentre(const std::string& window, int nId) {
        const DialogTemplate* pTemplate = FindDialogTemplate(IDD_MAIN);
        const auto geometry = Xdo("getwindowgeometry --shell " + window);
        if (pTemplate == nullptr || !geometry) return {-1, -1};
        const auto field = [&](const char* name) {
            const auto at = geometry->find(name);
            return at == std::string::npos ? 0 : std::atoi(geometry->c_str() + at + std::strlen(name));
        };
        const double sx = field("WIDTH=") / static_cast<double>(pTemplate->cx);
        const double sy = field("HEIGHT=") / static_cast<double>(pTemplate->cy);
        for (const ControlTemplate& control : pTemplate->controls) {
            if (control.nId == nId) {
                return {static_cast<int>((control.x + control.cx / 2.0) * sx),
                        static_cast<int>((control.y + control.cy / 2.0) * sy)};
            }
        }
        return {-1, -1};
    }

    bool Click(const std::string& window, int nId) {
        const auto [x, y] = ControlCentre(window, nId);
        return x >= 0 && Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                             " click 1")
                             .has_value();
    }

    // With no window manager the keyboard goes to the window under the
    // pointer, so the pointer rests on the window that should get the keys.
    bool PointAt(const std::string& window) { return Xdo("mousemove --window " + window + " 20 20").has_value(); }

    // Waits, bounded, until done() holds; false when it never did.
    template <typename Done>
    static bool WaitFor(CVirtualBus& bus, Done done) {
        const auto giveUp = Clock::now() + std::chrono::seconds(30);
        while (Clock::now() < giveUp && bus.Running()) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }

    static bool WaitBytes(CVirtualBus& bus, std::size_t n) {
        return WaitFor(bus, [&] { return ReadBusLog(bus.LogSoFar()).bytes.size() >= n; });
    }

    std::unique_ptr<CXvfb> m_pXvfb;
};

TEST_F(DialogTest, SendAndSendNTimesReachTheBus) {
    CVirtualBus bus;
    const std::string script = WriteScript(bus.ScratchDir(), "keystroke.ray", "86 21 01 FE\r\n");
    BusRun run = Command({VANTRELL_DIALOG}, {"DISPLAY=" + m_pXvfb->Display(), "NO_AT_BRIDGE=1",
                                             std::string("LSAN_OPTIONS=suppressions=") + DIALOG_LEAKS});
    run.limit = std::chrono::seconds(150);
    bus.Start(run);

    const std::string dialog = WaitWindow("^Vantrell  ");
    ASSERT_FALSE(dialog.empty()) << "the dialog did not appear";

    ASSERT_TRUE(Click(dialog, IDC_COM1));
    ASSERT_TRUE(WaitFor(bus, [&] { return ReadBusLog(bus.LogSoFar()).Count("open") == 1; }))
        << "Com1 did not open the port";
    ASSERT_TRUE(Click(dialog, IDC_LOAD));
    const std::string chooser = WaitWindow("^Open$");
    ASSERT_FALSE(chooser.empty()) << "the file chooser did not appear";
    ASSERT_TRUE(PointAt(chooser));
    ASSERT_TRUE(Xdo("key ctrl+l"));
    // The chooser opens in the program's working directory, the bus's
    // scratch directory. The name is typed relative to it: GTK completes
    // what is typed as it goes, and a long absolute path through a busy
    // /tmp gives that completion time to get in between keystrokes.
    ASSERT_TRUE(Xdo("type --delay 10 '" + script.substr(script.rfind('/') + 1) + "'"));
    ASSERT_TRUE(Xdo("key Return"));
    ASSERT_TRUE(WaitFor(bus, [&] { return !Xdo("search --onlyvisible --name '^Open$'"); }))
        << "the file chooser did not close";

    ASSERT_TRUE(Click(dialog, IDC_SEND));
    ASSERT_TRUE(WaitBytes(bus, 4)) << "Send put " << ReadBusLog(bus.LogSoFar()).Text() << " on the bus";

    ASSERT_TRUE(Click(dialog, IDC_REPEAT));
    ASSERT_TRUE(Xdo("key ctrl+a"));
    ASSERT_TRUE(Xdo("type 2"));
    ASSERT_TRUE(Click(dialog, IDC_SENDN));
    ASSERT_TRUE(WaitBytes(bus, 12)) << "Send N times put " << ReadBusLog(bus.LogSoFar()).Text() << " on the bus";

    ASSERT_TRUE(PointAt(dialog));
    ASSERT_TRUE(Xdo("key Escape"));
    const BusTrace trace = ExpectOnBus(bus.Wait(), "*86 21 01 FE | *86 21 01 FE | *86 21 01 FE");
    EXPECT_EQ(trace.Count("open"), 1u);
    EXPECT_EQ(trace.Count("close"), 1u);
}

}  // namespace
}  // namespace vantrell::e2e
