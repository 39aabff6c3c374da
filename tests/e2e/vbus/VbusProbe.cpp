// VbusProbe: a small serial client with plain termios, to check the virtual
// bus without the programs under test.
//
//   VbusProbe DEVICE STEP...
//
// Steps run in order, each printing "step: result" lines on stdout:
//   info          the device number and /sys/class/tty/<name>/type
//   open          open as the programs do (O_NONBLOCK, O_NOCTTY, O_CLOEXEC)
//   raw           raw mode, 4800 baud, 8 data bits, no parity
//   cooked        4800 baud, 8 data bits, but output processing left on
//   slow          50 baud: a byte stays on the line for 220 ms, so what
//                 follows its write happens while it is being sent
//   send:HH:o|e   one byte the careful way: parity set and read back, write,
//                 TIOCOUTQ, wait for TIOCSER_TEMT, TIOCOUTQ again
//   rush:HH:o|e   parity set and the byte written, no waiting at all
//   plain:HH      the byte written under whatever settings are in force
//   drain         tcdrain, then TIOCOUTQ and the line status
//   modem         DTR/RTS through TIOCMGET, TIOCMBIC, TIOCMBIS, TIOCMSET
//   lock          flock(LOCK_EX | LOCK_NB)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int g_fd = -1;

const char* ParityOf(const termios& t) {
    if ((t.c_cflag & PARENB) == 0) return "none";
    return (t.c_cflag & PARODD) != 0 ? "odd" : "even";
}

bool SetLine(bool raw, speed_t speed) {
    termios t{};
    if (tcgetattr(g_fd, &t) != 0) return false;
    if (raw) cfmakeraw(&t);
    cfsetspeed(&t, speed);
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS)) | CS8 | CLOCAL | CREAD;
    return tcsetattr(g_fd, TCSANOW, &t) == 0;
}

int OutQueue() {
    int n = -1;
    return ioctl(g_fd, TIOCOUTQ, &n) == 0 ? n : -errno;
}

int LineStatus() {
    unsigned int lsr = 0;
    return ioctl(g_fd, TIOCSERGETLSR, &lsr) == 0 ? static_cast<int>(lsr & TIOCSER_TEMT) : -errno;
}

bool SetParity(bool odd) {
    termios t{};
    if (tcgetattr(g_fd, &t) != 0) return false;
    t.c_cflag |= PARENB;
    if (odd) {
        t.c_cflag |= PARODD;
    } else {
        t.c_cflag &= ~static_cast<tcflag_t>(PARODD);
    }
    return tcsetattr(g_fd, TCSANOW, &t) == 0;
}

void Send(const std::string& arg, bool careful) {
    // arg is "HH:o" or "HH:e"
    const auto byte = static_cast<unsigned char>(std::strtoul(arg.substr(0, 2).c_str(), nullptr, 16));
    const bool odd = arg.size() > 3 && arg[3] == 'o';
    if (!SetParity(odd)) {
        std::printf("send: set failed errno=%d\n", errno);
        return;
    }
    termios back{};
    tcgetattr(g_fd, &back);
    if (careful) std::printf("send: readback parity=%s\n", ParityOf(back));
    const ssize_t n = write(g_fd, &byte, 1);
    if (n != 1) {
        std::printf("send: write failed errno=%d\n", errno);
        return;
    }
    if (!careful) return;
    std::printf("send: outq after write=%d\n", OutQueue());
    // Bounded: the modelled line frees up in a few milliseconds.
    for (int polls = 0; polls < 100000; ++polls) {
        const int temt = LineStatus();
        if (temt != 0) {
            std::printf("send: temt=%d\n", temt);
            break;
        }
        const timespec tick{0, 100000};
        nanosleep(&tick, nullptr);
    }
    std::printf("send: outq after temt=%d\n", OutQueue());
}

void Modem() {
    int lines = 0;
    ioctl(g_fd, TIOCMGET, &lines);
    std::printf("modem: at open dtr=%d rts=%d\n", (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
    int both = TIOCM_DTR | TIOCM_RTS;
    ioctl(g_fd, TIOCMBIC, &both);
    ioctl(g_fd, TIOCMGET, &lines);
    std::printf("modem: after bic dtr=%d rts=%d\n", (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
    int rts = TIOCM_RTS;
    ioctl(g_fd, TIOCMBIS, &rts);
    ioctl(g_fd, TIOCMGET, &lines);
    std::printf("modem: after bis rts dtr=%d rts=%d\n", (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
    int dtr = TIOCM_DTR;
    ioctl(g_fd, TIOCMSET, &dtr);
    ioctl(g_fd, TIOCMGET, &lines);
    std::printf("modem: after set dtr dtr=%d rts=%d\n", (lines & TIOCM_DTR) != 0, (lines & TIOCM_RTS) != 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: VbusProbe DEVICE STEP...\n");
        return 2;
    }
    const std::string device = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "info") {
            struct stat st {};
            if (stat(device.c_str(), &st) != 0) {
                std::printf("info: stat errno=%d\n", errno);
                continue;
            }
            const std::string name = device.substr(device.rfind('/') + 1);
            std::ifstream typeFile("/sys/class/tty/" + name + "/type");
            std::string type;
            typeFile >> type;
            std::printf("info: rdev=%u:%u type=%s\n", major(st.st_rdev), minor(st.st_rdev), type.c_str());
        } else if (step == "open") {
            g_fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            std::printf("open: %s\n", g_fd >= 0 ? "ok" : std::strerror(errno));
            if (g_fd < 0) return 4;
        } else if (step == "raw" || step == "cooked" || step == "slow") {
            const bool ok = SetLine(step != "cooked", step == "slow" ? B50 : B4800);
            std::printf("%s: %s\n", step.c_str(), ok ? "ok" : std::strerror(errno));
        } else if (step.rfind("send:", 0) == 0) {
            Send(step.substr(5), true);
        } else if (step.rfind("rush:", 0) == 0) {
            Send(step.substr(5), false);
        } else if (step.rfind("plain:", 0) == 0) {
            const auto byte = static_cast<unsigned char>(std::strtoul(step.substr(6).c_str(), nullptr, 16));
            if (write(g_fd, &byte, 1) != 1) std::printf("plain: write failed errno=%d\n", errno);
        } else if (step == "drain") {
            const int rc = tcdrain(g_fd);
            std::printf("drain: rc=%d outq=%d temt=%d\n", rc, OutQueue(), LineStatus());
        } else if (step == "modem") {
            Modem();
        } else if (step == "lock") {
            std::printf("lock: %s\n", flock(g_fd, LOCK_EX | LOCK_NB) == 0 ? "ok" : std::strerror(errno));
        } else {
            std::fprintf(stderr, "VbusProbe: unknown step %s\n", step.c_str());
            return 2;
        }
    }
    if (g_fd >= 0) close(g_fd);
    return 0;
}
