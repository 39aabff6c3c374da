#include "VirtualBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef VBUS_UART_LIBRARY
#error "VBUS_UART_LIBRARY must name the VirtualUart shared library"
#endif

namespace vantrell::e2e {

namespace fs = std::filesystem;

namespace {

// The exit status of a child whose namespace could not be set up; the
// reason travels back on a pipe.
constexpr int kSetupFailed = 222;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Reads what is there now without blocking; false at end of file.
bool ReadAvailable(int fd, std::string& into) {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        // EAGAIN: nothing more for now. EIO on a pty master: no slave open.
        return errno == EAGAIN;
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// In the child only: failures go back to the parent as text, then exit.
[[noreturn]] void SetupFail(int setupFd, const std::string& message) {
    const std::string line = "virtual bus: " + message;
    (void)!::write(setupFd, line.data(), line.size());
    _exit(kSetupFailed);
}

void Must(bool ok, int setupFd, const std::string& what) {
    if (!ok) SetupFail(setupFd, Errno(what));
}

void MakeFile(const std::string& path, const std::string& text, int setupFd) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Must(fd >= 0, setupFd, "create " + path);
    Must(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()), setupFd, "write " + path);
    ::close(fd);
}

void BindNode(const std::string& from, const std::string& to, int setupFd) {
    MakeFile(to, "", setupFd);
    Must(::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0, setupFd, "bind " + from);
}

void BindDir(const std::string& from, const std::string& to, int setupFd) {
    Must(::mkdir(to.c_str(), 0755) == 0, setupFd, "mkdir " + to);
    Must(::mount(from.c_str(), to.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0, setupFd, "bind " + from);
}

}  // namespace

std::string CVirtualBus::Unavailable() {
    static const std::string reason = [] {
        if (::geteuid() != 0) return std::string("not root: the virtual bus needs mount namespaces");
        if (::access(VBUS_UART_LIBRARY, R_OK) != 0) return Errno(std::string("no ") + VBUS_UART_LIBRARY);
        int status = 0;
        pid_t pid = ::fork();
        if (pid < 0) return Errno("fork");
        if (pid == 0) {
            if (::unshare(CLONE_NEWNS) != 0) _exit(1);
            if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(2);
            if (::mount("vbus", "/sys/class/tty", "tmpfs", MS_NOSUID, nullptr) != 0) _exit(3);
            _exit(0);
        }
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status)) return std::string("the mount namespace probe crashed");
        switch (WEXITSTATUS(status)) {
            case 0: return std::string();
            case 1: return std::string("unshare(CLONE_NEWNS) is not allowed here");
            case 2: return std::string("cannot make the mounts private in a new namespace");
            default: return std::string("cannot mount a tmpfs over /sys/class/tty");
        }
    }();
    return reason;
}

CVirtualBus::CVirtualBus(BusLayout layout) : m_layout(std::move(layout)) {
    std::string tmpl = (fs::temp_directory_path() / "vbus-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error(Errno("mkdtemp"));
    m_strDir = tmpl;
    m_strLog = m_strDir + "/uart.log";

    m_nMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_nMaster < 0 || ::grantpt(m_nMaster) != 0 || ::unlockpt(m_nMaster) != 0) {
        throw std::runtime_error(Errno("posix_openpt"));
    }
    ::fcntl(m_nMaster, F_SETFL, ::fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
    char name[128];
    if (::ptsname_r(m_nMaster, name, sizeof name) != 0) throw std::runtime_error(Errno("ptsname"));
    m_strSlave = name;
    // Held open for the bus's life: the master reads EIO, not data, and the
    // pty's settings reset, whenever no slave is open.
    m_nSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (m_nSlave < 0 || ::fstat(m_nSlave, &st) != 0) throw std::runtime_error(Errno("open " + m_strSlave));
    m_device = st.st_rdev;
}

CVirtualBus::~CVirtualBus() {
    if (m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
        Wait();
    }
    CloseFd(m_nSlave);
    CloseFd(m_nMaster);
    std::error_code ignored;
    fs::remove_all(m_strDir, ignored);
}

void CVirtualBus::Start(const BusRun& run) {
    if (m_pid > 0) throw std::logic_error("the bus is already running a program");
    if (run.argv.empty()) throw std::invalid_argument("nothing to run");
    ::unlink(m_strLog.c_str());
    m_result = BusResult{};

    int out[2], err[2], setup[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(setup, O_CLOEXEC) != 0) {
        throw std::runtime_error(Errno("pipe"));
    }
    m_started = std::chrono::steady_clock::now();
    m_limit = run.limit;
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error(Errno("fork"));
    if (pid == 0) {
        ::close(out[0]);
        ::close(err[0]);
        ::close(setup[0]);
        RunChild(run, out[1], err[1], setup[1]);
    }
    ::close(out[1]);
    ::close(err[1]);
    ::close(setup[1]);
    m_pid = pid;
    m_nOut = out[0];
    m_nErr = err[0];
    m_nSetup = setup[0];
    ::fcntl(m_nOut, F_SETFL, O_NONBLOCK);
    ::fcntl(m_nErr, F_SETFL, O_NONBLOCK);
    m_bExited = false;
    m_pump = std::thread([this] { Pump(); });
}

void CVirtualBus::RunChild(const BusRun& run, int outFd, int errFd, int setupFd) {
    // A group of its own, so that a run past its limit is killed with
    // everything it started.
    ::setpgid(0, 0);
    int devNull = ::open("/dev/null", O_RDONLY);
    Must(devNull >= 0 && ::dup2(devNull, 0) == 0, setupFd, "stdin");
    Must(::dup2(outFd, 1) == 1 && ::dup2(errFd, 2) == 2, setupFd, "stdout");

    Must(::unshare(CLONE_NEWNS) == 0, setupFd, "unshare(CLONE_NEWNS)");
    Must(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, setupFd, "make mounts private");

    // The new /dev is built aside, while the real nodes are still visible
    // to bind from, then moved over /dev in one step.
    const std::string dev = m_strDir + "/dev";
    ::mkdir(dev.c_str(), 0755);
    Must(::mount("vbus-dev", dev.c_str(), "tmpfs", MS_NOSUID, "mode=755") == 0, setupFd, "tmpfs for /dev");
    for (const char* node : {"null", "zero", "full", "random", "urandom", "tty", "ptmx"}) {
        const std::string from = std::string("/dev/") + node;
        if (::access(from.c_str(), F_OK) == 0) BindNode(from, dev + "/" + node, setupFd);
    }
    BindDir("/dev/pts", dev + "/pts", setupFd);
    if (::access("/dev/shm", F_OK) == 0) BindDir("/dev/shm", dev + "/shm", setupFd);
    Must(::symlink("/proc/self/fd", (dev + "/fd").c_str()) == 0, setupFd, "symlink /dev/fd");
    const char* streams[] = {"stdin", "stdout", "stderr"};
    for (int i = 0; i < 3; ++i) {
        const std::string target = "/proc/self/fd/" + std::to_string(i);
        Must(::symlink(target.c_str(), (dev + "/" + streams[i]).c_str()) == 0, setupFd, "symlink /dev/std*");
    }
    BindNode(m_strSlave, dev + "/" + m_layout.deviceName, setupFd);
    for (const std::string& name : m_layout.placeholders) BindNode("/dev/null", dev + "/" + name, setupFd);
    Must(::mount(dev.c_str(), "/dev", nullptr, MS_MOVE, nullptr) == 0, setupFd, "move the new /dev over /dev");

    const std::string sys = "/sys/class/tty";
    Must(::mount("vbus-sys", sys.c_str(), "tmpfs", MS_NOSUID, "mode=755") == 0, setupFd, "tmpfs for " + sys);
    auto addTty = [&](const std::string& name, const std::string& type) {
        Must(::mkdir((sys + "/" + name).c_str(), 0755) == 0, setupFd, "mkdir " + sys + "/" + name);
        if (!type.empty()) MakeFile(sys + "/" + name + "/type", type + "\n", setupFd);
    };
    addTty(m_layout.deviceName, m_layout.sysType);
    for (const std::string& name : m_layout.placeholders) addTty(name, "0");

    std::string preload = VBUS_UART_LIBRARY;
    if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing != '\0') {
        preload += std::string(":") + existing;
    }
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    // An AddressSanitizer build insists on its runtime being the first
    // library loaded; the preload comes first by design.
    std::string asan = "verify_asan_link_order=0";
    if (const char* existing = std::getenv("ASAN_OPTIONS"); existing != nullptr && *existing != '\0') {
        asan = std::string(existing) + ":" + asan;
    }
    ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
    const std::string device = std::to_string(major(m_device)) + ":" + std::to_string(minor(m_device));
    ::setenv("VBUS_DEVICE", device.c_str(), 1);
    ::setenv("VBUS_LOG", m_strLog.c_str(), 1);
    for (const std::string& entry : run.env) ::putenv(const_cast<char*>(entry.c_str()));

    const std::string cwd = run.cwd.empty() ? m_strDir : run.cwd;
    Must(::chdir(cwd.c_str()) == 0, setupFd, "chdir " + cwd);

    std::vector<char*> argv;
    for (const std::string& arg : run.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    SetupFail(setupFd, Errno("exec " + run.argv[0]));
}

void CVirtualBus::Pump() {
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    bool outOpen = true, errOpen = true;
    int status = 0;
    for (;;) {
        pollfd fds[4] = {{m_nMaster, POLLIN, 0}, {outOpen ? m_nOut : -1, POLLIN, 0}, {errOpen ? m_nErr : -1, POLLIN, 0},
                         {pidFd, POLLIN, 0}};
        const auto elapsed = std::chrono::steady_clock::now() - m_started;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_limit - elapsed).count();
        if (left <= 0) {
            m_result.timedOut = true;
            ::kill(-m_pid, SIGKILL);
        }
        // Without a pidfd the exit is noticed by polling at a short period.
        const int timeout = pidFd >= 0 ? static_cast<int>(std::min<long long>(std::max<long long>(left, 0), 1000)) : 10;
        ::poll(fds, 4, timeout);
        ReadAvailable(m_nMaster, m_result.wire);
        if (outOpen) outOpen = ReadAvailable(m_nOut, m_result.out);
        if (errOpen) errOpen = ReadAvailable(m_nErr, m_result.err);
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == m_pid) {
            break;
        }
    }
    m_result.wall = std::chrono::steady_clock::now() - m_started;
    // Whatever the program left behind in its group goes with it. The
    // program is not reaped yet, so its id still names only its group.
    ::kill(-m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_bExited = true;
    ReadAvailable(m_nMaster, m_result.wire);
    ReadAvailable(m_nOut, m_result.out);
    ReadAvailable(m_nErr, m_result.err);
    if (pidFd >= 0) ::close(pidFd);
    if (WIFEXITED(status)) {
        m_result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        m_result.signal = WTERMSIG(status);
    }
}

bool CVirtualBus::Running() { return m_pid > 0 && !m_bExited; }

void CVirtualBus::Signal(int sig) {
    if (Running()) ::kill(m_pid, sig);
}

std::string CVirtualBus::LogSoFar() const { return ReadFile(m_strLog); }

BusResult CVirtualBus::Wait() {
    if (m_pid <= 0) throw std::logic_error("no program was started");
    m_pump.join();
    std::string setup;
    ::fcntl(m_nSetup, F_SETFL, O_NONBLOCK);
    ReadAvailable(m_nSetup, setup);
    if (m_result.exitCode == kSetupFailed && !setup.empty()) m_result.setupError = setup;
    CloseFd(m_nOut);
    CloseFd(m_nErr);
    CloseFd(m_nSetup);
    m_pid = -1;
    m_result.log = ReadFile(m_strLog);
    return std::move(m_result);
}

}  // namespace vantrell::e2e
