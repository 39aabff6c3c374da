// CVirtualBus: runs an unmodified program with a virtual UART as the
// machine's first serial port, and hands back what it put on the wire.
//
// How: a pseudo-terminal is the device. The program runs in a private mount
// namespace of its own, where /dev is a small tmpfs holding bind mounts of
// the few nodes a program needs (null, zero, urandom, tty, ptmx, pts, shm,
// ...) plus the pty slave bound at /dev/ttyS0, and /sys/class/tty is a
// tmpfs whose ttyS0/type reads 4 (a 16550A). The machine's own /dev/ttyS0
// is never opened: inside the namespace that name is the pty. The program
// is started with VirtualUart preloaded, which gives the pty what a pty
// lacks (parity that sticks, modem lines, a line that takes time to send a
// byte) and logs every call on the device; meanwhile a thread here drains
// the pty master, which otherwise fills up and blocks the writer.
//
// Needs root (mounts) and a kernel that allows unshare(CLONE_NEWNS);
// Unavailable() says why not. The calling process is never moved into the
// namespace: only the forked child is.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace vantrell::e2e {

// What the namespace shows the program.
struct BusLayout {
    std::string deviceName = "ttyS0";    // the pty appears as /dev/<deviceName>
    std::string sysType = "4";           // /sys/class/tty/<deviceName>/type; empty: no such file
    // Extra ttyS names the 8250 driver would register for absent ports:
    // type 0 and a node (bound to /dev/null) that exists.
    std::vector<std::string> placeholders;
};

struct BusRun {
    std::vector<std::string> argv;       // argv[0] is looked up on PATH
    std::vector<std::string> env;        // extra NAME=value entries
    std::string cwd;                     // empty: the bus's scratch directory
    std::chrono::milliseconds limit{60000};  // then the program is killed
};

struct BusResult {
    std::string setupError;              // the namespace could not be made
    int exitCode = -1;                   // -1 when killed by a signal
    int signal = 0;
    bool timedOut = false;
    std::string out;                     // the program's stdout
    std::string err;                     // and stderr
    std::string log;                     // VirtualUart's log
    std::string wire;                    // bytes read from the pty master
    std::chrono::nanoseconds wall{0};    // from fork to exit
};

class CVirtualBus {
public:
    // Empty when a bus can run here; otherwise one line saying why not.
    static std::string Unavailable();

    // Opens the pty and a scratch directory. Throws std::runtime_error when
    // either cannot be had.
    explicit CVirtualBus(BusLayout layout = {});
    ~CVirtualBus();

    CVirtualBus(const CVirtualBus&) = delete;
    CVirtualBus& operator=(const CVirtualBus&) = delete;

    // A directory of the bus's own, removed with it; the default cwd.
    const std::string& ScratchDir() const { return m_strDir; }
    // The pty slave as the host sees it, for a process that should hold
    // the device from outside (flock it to make the port busy).
    const std::string& SlavePath() const { return m_strSlave; }
    dev_t DeviceId() const { return m_device; }

    // Starts the program; one at a time per bus.
    void Start(const BusRun& run);
    // True while the started program has not exited.
    bool Running();
    // Sends sig to the started program, as a user's Ctrl-C would.
    void Signal(int sig);
    // The VirtualUart log as far as it has been written.
    std::string LogSoFar() const;
    // Waits for the program (killing it at the run's limit) and collects
    // everything. A bus can run again afterwards: the log and wire of each
    // run start empty.
    BusResult Wait();

    BusResult Run(const BusRun& run) {
        Start(run);
        return Wait();
    }

private:
    [[noreturn]] void RunChild(const BusRun& run, int outFd, int errFd, int setupFd);
    void Pump();

    BusLayout m_layout;
    std::string m_strDir;
    std::string m_strSlave;
    std::string m_strLog;
    int m_nMaster = -1;
    int m_nSlave = -1;
    dev_t m_device = 0;

    pid_t m_pid = -1;
    int m_nOut = -1, m_nErr = -1, m_nSetup = -1;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::milliseconds m_limit{0};
    std::thread m_pump;
    std::atomic<bool> m_bExited{false};
    BusResult m_result;
};

}  // namespace vantrell::e2e
