/*
 * VirtualUart: makes a pseudo-terminal behave like a 16550 UART for the
 * programs under test, and records what that UART would put on the wire.
 *
 * Loaded with LD_PRELOAD into an unmodified vantrell or vantrell-send. A
 * Linux pty alone cannot stand in for a serial port: tcsetattr on a pty
 * clears PARENB and forces CS8, so a backend that reads its settings back
 * sees the parity dropped; a pty has no modem lines; and its tcdrain returns
 * at once. So for every file descriptor that refers to the virtual device
 * this library answers those calls itself:
 *
 *   - a shadow termios holds what the program set and is what tcgetattr
 *     returns; the settings are still passed to the pty so that output
 *     processing (OPOST, ONLCR, ...) really happens on the way to the master;
 *   - DTR/RTS kept for TIOCMGET/TIOCMBIS/TIOCMBIC/TIOCMSET;
 *   - a model of the line: every written byte occupies start + data +
 *     parity + stop bit times at the configured speed, queued after the byte
 *     before it. TIOCOUTQ counts the bytes not yet fully on the wire at the
 *     current CLOCK_MONOTONIC time, TIOCSERGETLSR reports TIOCSER_TEMT once
 *     the last one has left, and tcdrain sleeps until then.
 *
 * The descriptor is recognised by its st_rdev, whatever path opened it, so
 * a bind mount of the pty slave at /dev/ttyS0 is caught as well.
 *
 * Environment:
 *   VBUS_DEVICE      "major:minor" of the pty slave (required to do anything)
 *   VBUS_LOG         file that receives one line per event (appended)
 *   VBUS_FAIL_AFTER  k: once k bytes have gone out, the device is gone, as
 *                    a USB adapter pulled mid-pass: from the next settings
 *                    call or write on, writes, ioctls and termios calls
 *                    fail with EIO, poll reports POLLHUP|POLLERR, and a new
 *                    open ENOENT
 *
 * Log lines are "<event> t=<ns> pid=<pid> fd=<fd> key=value ...", t being
 * CLOCK_MONOTONIC when the call was made. BusLog.h reads them back.
 *
 * The state is per process: the programs under test open the device from one
 * process. Calls may come from several threads, hence the mutex; nothing
 * sleeps while holding it.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define VU_EXPORT __attribute__((visibility("default")))

/* A 16550's driver buffers one page of output; a write beyond that blocks
 * or, on a non-blocking descriptor, returns EAGAIN. */
enum { kQueueCapacity = 4096 };

/* The kernel's own termios layout, for TCGETS/TCSETS* issued as ioctls. */
struct KernelTermios {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
};

typedef int (*OpenFn)(const char*, int, ...);
typedef int (*OpenatFn)(int, const char*, int, ...);
typedef int (*CloseFn)(int);
typedef ssize_t (*WriteFn)(int, const void*, size_t);
typedef int (*IoctlFn)(int, unsigned long, ...);
typedef int (*TcgetattrFn)(int, struct termios*);
typedef int (*TcsetattrFn)(int, int, const struct termios*);
typedef int (*TcdrainFn)(int);
typedef int (*TcflushFn)(int, int);
typedef int (*PollFn)(struct pollfd*, nfds_t, int);
typedef int (*FlockFn)(int, int);

static struct {
    OpenFn open, open64;
    OpenatFn openat, openat64;
    CloseFn close;
    WriteFn write;
    IoctlFn ioctl;
    TcgetattrFn tcgetattr;
    TcsetattrFn tcsetattr;
    TcdrainFn tcdrain;
    TcflushFn tcflush;
    PollFn poll;
    FlockFn flock;
} g_real;

static pthread_once_t g_once = PTHREAD_ONCE_INIT;
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

static dev_t g_device;           /* 0: no virtual device configured */
static char g_logPath[4096];
static long long g_failAfter = -1;

/* Device state, under g_lock. */
static int g_shadowValid;
static struct termios g_shadow;
static int g_modemLines;
static long long g_bytesAccepted;
static int g_gone;
static struct {
    int64_t start, end;
} g_queue[kQueueCapacity];        /* bytes not yet fully on the wire, oldest first */
static int g_queueHead, g_queueCount;
static int64_t g_lineFree;        /* when the last queued byte leaves the line */

static void* Resolve(const char* name) {
    void* fn = dlsym(RTLD_NEXT, name);
    if (fn == NULL) {
        static const char msg[] = "VirtualUart: a libc function is missing\n";
        (void)syscall(SYS_write, 2, msg, sizeof msg - 1);
        abort();
    }
    return fn;
}

#define RESOLVE(field, name)                       \
    do {                                           \
        void* p_ = Resolve(name);                  \
        memcpy(&g_real.field, &p_, sizeof p_);     \
    } while (0)

static void Init(void) {
    RESOLVE(open, "open");
    RESOLVE(open64, "open64");
    RESOLVE(openat, "openat");
    RESOLVE(openat64, "openat64");
    RESOLVE(close, "close");
    RESOLVE(write, "write");
    RESOLVE(ioctl, "ioctl");
    RESOLVE(tcgetattr, "tcgetattr");
    RESOLVE(tcsetattr, "tcsetattr");
    RESOLVE(tcdrain, "tcdrain");
    RESOLVE(tcflush, "tcflush");
    RESOLVE(poll, "poll");
    RESOLVE(flock, "flock");

    const char* device = getenv("VBUS_DEVICE");
    unsigned int major = 0, minor = 0;
    if (device != NULL && sscanf(device, "%u:%u", &major, &minor) == 2) g_device = makedev(major, minor);
    const char* log = getenv("VBUS_LOG");
    if (log != NULL) snprintf(g_logPath, sizeof g_logPath, "%s", log);
    const char* failAfter = getenv("VBUS_FAIL_AFTER");
    if (failAfter != NULL && *failAfter != '\0') g_failAfter = strtoll(failAfter, NULL, 10);
}

static void EnsureInit(void) { pthread_once(&g_once, Init); }

static int64_t Now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static void SleepUntil(int64_t deadline) {
    struct timespec ts = {(time_t)(deadline / 1000000000), (long)(deadline % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, NULL) == EINTR) {
    }
}

static int IsDevice(int fd) {
    EnsureInit();
    if (g_device == 0 || fd < 0) return 0;
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == g_device;
}

/* The log's descriptor sits high, out of the program's way, and is checked
 * before each line: a program may close or dup2 over any descriptor, and a
 * log line must never land in one of its files. Checking costs one fstat;
 * reopening per line would cost far more and show in the timings. */
static int g_logFd = -1;
static dev_t g_logDev;
static ino_t g_logIno;

static int LogFd(void) {
    struct stat st;
    if (g_logFd >= 0 && fstat(g_logFd, &st) == 0 && st.st_dev == g_logDev && st.st_ino == g_logIno) return g_logFd;
    long fd = syscall(SYS_openat, AT_FDCWD, g_logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    int high = fcntl((int)fd, F_DUPFD_CLOEXEC, 900);
    (void)syscall(SYS_close, fd);
    if (high < 0 || fstat(high, &st) != 0) return -1;
    g_logFd = high;
    g_logDev = st.st_dev;
    g_logIno = st.st_ino;
    return g_logFd;
}

static void Log(const char* event, int fd, int64_t t, const char* fmt, ...) {
    if (g_logPath[0] == '\0') return;
    char line[512];
    int n = snprintf(line, sizeof line, "%s t=%lld pid=%d fd=%d", event, (long long)t, (int)getpid(), fd);
    if (fmt != NULL && n > 0 && (size_t)n < sizeof line) {
        line[n++] = ' ';
        va_list args;
        va_start(args, fmt);
        int more = vsnprintf(line + n, sizeof line - (size_t)n, fmt, args);
        va_end(args);
        if (more > 0) n += more;
    }
    if (n <= 0) return;
    if ((size_t)n >= sizeof line - 1) n = (int)sizeof line - 2;
    line[n++] = '\n';
    int saved = errno;
    static pthread_mutex_t logLock = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&logLock);
    int logFd = LogFd();
    if (logFd >= 0) (void)syscall(SYS_write, logFd, line, (size_t)n);
    pthread_mutex_unlock(&logLock);
    errno = saved;
}

static const char* ParityName(const struct termios* t) {
    if ((t->c_cflag & PARENB) == 0) return "none";
    if ((t->c_cflag & CMSPAR) != 0) return (t->c_cflag & PARODD) != 0 ? "mark" : "space";
    return (t->c_cflag & PARODD) != 0 ? "odd" : "even";
}

static unsigned DataBits(const struct termios* t) {
    switch (t->c_cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

static unsigned StopBits(const struct termios* t) { return (t->c_cflag & CSTOPB) != 0 ? 2 : 1; }

static unsigned long Baud(const struct termios* t) {
    static const struct {
        speed_t code;
        unsigned long baud;
    } table[] = {{B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},
                 {B150, 150},     {B200, 200},       {B300, 300},       {B600, 600},
                 {B1200, 1200},   {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                 {B9600, 9600},   {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                 {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    speed_t code = cfgetospeed(t);
    for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
        if (table[i].code == code) return table[i].baud;
    }
    return 0;
}

/* Everything below runs with g_lock held. */

static void EnsureShadow(int fd) {
    if (g_shadowValid) return;
    /* A UART the program has not touched yet: whatever the pty holds (the
     * kernel's standard cooked settings) at 9600 baud, DTR and RTS up as
     * the tty layer raises them on open. */
    if (g_real.tcgetattr(fd, &g_shadow) != 0) memset(&g_shadow, 0, sizeof g_shadow);
    cfsetspeed(&g_shadow, B9600);
    g_modemLines = TIOCM_DTR | TIOCM_RTS;
    g_shadowValid = 1;
}

static int64_t FrameNs(void) {
    unsigned long baud = Baud(&g_shadow);
    if (baud == 0) return 0;
    unsigned long bits = 1 + DataBits(&g_shadow) + ((g_shadow.c_cflag & PARENB) != 0 ? 1 : 0) + StopBits(&g_shadow);
    return (int64_t)((bits * 1000000000UL + baud - 1) / baud);
}

static void Prune(int64_t now) {
    while (g_queueCount > 0 && g_queue[g_queueHead].end <= now) {
        g_queueHead = (g_queueHead + 1) % kQueueCapacity;
        --g_queueCount;
    }
}

static int Gone(void) { return g_gone; }

/* The adapter is pulled once k bytes are through and the program moves on
 * to the next one: the waits for byte k still succeed, and the first
 * settings call or write after them finds the device gone. */
static int VanishNow(void) {
    if (g_failAfter >= 0 && g_bytesAccepted >= g_failAfter) g_gone = 1;
    return g_gone;
}

static int FailGone(int fd, const char* call) {
    Log("fault", fd, Now(), "call=%s errno=EIO", call);
    errno = EIO;
    return -1;
}

/* Waits, without the lock, until the modelled line is idle. */
static void WaitLineIdle(int fd, const char* why) {
    int64_t t = Now();
    pthread_mutex_lock(&g_lock);
    int64_t until = g_lineFree;
    pthread_mutex_unlock(&g_lock);
    if (until > t) SleepUntil(until);
    Log("drain", fd, t, "why=%s until=%lld done=%lld", why, (long long)until, (long long)Now());
}

static void LogSettings(int fd, int64_t t, const char* action) {
    Log("set", fd, t,
        "act=%s baud=%lu bits=%u parity=%s stop=%u iflag=0x%x oflag=0x%x cflag=0x%x lflag=0x%x", action,
        Baud(&g_shadow), DataBits(&g_shadow), ParityName(&g_shadow), StopBits(&g_shadow),
        (unsigned)g_shadow.c_iflag, (unsigned)g_shadow.c_oflag, (unsigned)g_shadow.c_cflag,
        (unsigned)g_shadow.c_lflag);
}

/* Hands bytes to the pty so the fixture sees what the line discipline made
 * of them. The fixture drains the master, so a full pty is only a pause. */
static void FeedPty(int fd, const unsigned char* bytes, size_t n) {
    while (n > 0) {
        ssize_t done = g_real.write(fd, bytes, n);
        if (done > 0) {
            bytes += done;
            n -= (size_t)done;
        } else if (done < 0 && (errno == EAGAIN || errno == EINTR)) {
            struct pollfd p = {fd, POLLOUT, 0};
            (void)g_real.poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

/* ---- the interposed functions ------------------------------------------ */

static int AfterOpen(int fd, const char* path, int flags) {
    if (fd < 0 || !IsDevice(fd)) return fd;
    pthread_mutex_lock(&g_lock);
    int gone = Gone();
    if (!gone) EnsureShadow(fd);
    pthread_mutex_unlock(&g_lock);
    if (gone) {
        g_real.close(fd);
        Log("fault", fd, Now(), "call=open errno=ENOENT");
        errno = ENOENT;
        return -1;
    }
    Log("open", fd, Now(), "flags=0x%x path=%s", (unsigned)flags, path != NULL ? path : "?");
    return fd;
}

static mode_t ModeArg(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? (mode_t)va_arg(args, unsigned int) : 0;
}

VU_EXPORT int open(const char* path, int flags, ...) {
    EnsureInit();
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArg(flags, args);
    va_end(args);
    return AfterOpen(g_real.open(path, flags, mode), path, flags);
}

VU_EXPORT int open64(const char* path, int flags, ...) {
    EnsureInit();
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArg(flags, args);
    va_end(args);
    return AfterOpen(g_real.open64(path, flags, mode), path, flags);
}

VU_EXPORT int openat(int dirfd, const char* path, int flags, ...) {
    EnsureInit();
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArg(flags, args);
    va_end(args);
    return AfterOpen(g_real.openat(dirfd, path, flags, mode), path, flags);
}

VU_EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
    EnsureInit();
    va_list args;
    va_start(args, flags);
    mode_t mode = ModeArg(flags, args);
    va_end(args);
    return AfterOpen(g_real.openat64(dirfd, path, flags, mode), path, flags);
}

/* The _FORTIFY_SOURCE entry points. */
VU_EXPORT int __open_2(const char* path, int flags) {
    EnsureInit();
    return AfterOpen(g_real.open(path, flags, 0), path, flags);
}

VU_EXPORT int __open64_2(const char* path, int flags) {
    EnsureInit();
    return AfterOpen(g_real.open64(path, flags, 0), path, flags);
}

VU_EXPORT int __openat_2(int dirfd, const char* path, int flags) {
    EnsureInit();
    return AfterOpen(g_real.openat(dirfd, path, flags, 0), path, flags);
}

VU_EXPORT int __openat64_2(int dirfd, const char* path, int flags) {
    EnsureInit();
    return AfterOpen(g_real.openat64(dirfd, path, flags, 0), path, flags);
}

VU_EXPORT int close(int fd) {
    EnsureInit();
    if (IsDevice(fd)) {
        pthread_mutex_lock(&g_lock);
        int gone = Gone();
        pthread_mutex_unlock(&g_lock);
        /* The tty layer lets queued output finish before the port closes. */
        if (!gone) WaitLineIdle(fd, "close");
        Log("close", fd, Now(), NULL);
    }
    return g_real.close(fd);
}

VU_EXPORT ssize_t write(int fd, const void* buf, size_t count) {
    EnsureInit();
    if (count == 0 || !IsDevice(fd)) return g_real.write(fd, buf, count);

    const unsigned char* bytes = buf;
    int nonBlocking = (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
    size_t accepted = 0;
    while (accepted < count) {
        int64_t now = Now();
        pthread_mutex_lock(&g_lock);
        EnsureShadow(fd);
        Prune(now);
        if (VanishNow()) {
            pthread_mutex_unlock(&g_lock);
            if (accepted > 0) break;
            return FailGone(fd, "write");
        }
        if (g_queueCount == kQueueCapacity) {
            int64_t oldestEnd = g_queue[g_queueHead].end;
            pthread_mutex_unlock(&g_lock);
            if (accepted > 0) break;
            if (nonBlocking) {
                errno = EAGAIN;
                return -1;
            }
            SleepUntil(oldestEnd);
            continue;
        }
        int64_t start = g_lineFree > now ? g_lineFree : now;
        int64_t end = start + FrameNs();
        int slot = (g_queueHead + g_queueCount) % kQueueCapacity;
        g_queue[slot].start = start;
        g_queue[slot].end = end;
        ++g_queueCount;
        g_lineFree = end;
        ++g_bytesAccepted;
        Log("write", fd, now, "byte=0x%02x baud=%lu bits=%u parity=%s stop=%u start=%lld end=%lld",
            bytes[accepted], Baud(&g_shadow), DataBits(&g_shadow), ParityName(&g_shadow),
            StopBits(&g_shadow), (long long)start, (long long)end);
        pthread_mutex_unlock(&g_lock);
        FeedPty(fd, bytes + accepted, 1);
        ++accepted;
    }
    return (ssize_t)accepted;
}

VU_EXPORT int tcgetattr(int fd, struct termios* t) {
    EnsureInit();
    if (!IsDevice(fd)) return g_real.tcgetattr(fd, t);
    int64_t now = Now();
    pthread_mutex_lock(&g_lock);
    if (VanishNow()) {
        pthread_mutex_unlock(&g_lock);
        return FailGone(fd, "tcgetattr");
    }
    EnsureShadow(fd);
    *t = g_shadow;
    pthread_mutex_unlock(&g_lock);
    Log("get", fd, now, NULL);
    return 0;
}

VU_EXPORT int tcsetattr(int fd, int action, const struct termios* t) {
    EnsureInit();
    if (!IsDevice(fd)) return g_real.tcsetattr(fd, action, t);
    if (action != TCSANOW && action != TCSADRAIN && action != TCSAFLUSH) {
        errno = EINVAL;
        return -1;
    }
    pthread_mutex_lock(&g_lock);
    int gone = VanishNow();
    if (!gone) EnsureShadow(fd);
    pthread_mutex_unlock(&g_lock);
    if (gone) return FailGone(fd, "tcsetattr");
    if (action != TCSANOW) WaitLineIdle(fd, action == TCSADRAIN ? "tcsadrain" : "tcsaflush");

    int64_t now = Now();
    /* The pty keeps what it can (output processing above all); the rest
     * lives in the shadow. It is handed the frame a pty forces anyway (8
     * data bits, no parity, receiver on), or glibc, seeing the pty drop
     * them, reports EINVAL. */
    struct termios forPty = *t;
    forPty.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CMSPAR);
    forPty.c_cflag |= CS8 | CREAD;
    if (g_real.tcsetattr(fd, TCSANOW, &forPty) != 0) return -1;
    pthread_mutex_lock(&g_lock);
    g_shadow = *t;
    LogSettings(fd, now, action == TCSANOW ? "now" : action == TCSADRAIN ? "drain" : "flush");
    pthread_mutex_unlock(&g_lock);
    return 0;
}

VU_EXPORT int tcdrain(int fd) {
    EnsureInit();
    if (!IsDevice(fd)) return g_real.tcdrain(fd);
    pthread_mutex_lock(&g_lock);
    int gone = Gone();
    pthread_mutex_unlock(&g_lock);
    if (gone) return FailGone(fd, "tcdrain");
    WaitLineIdle(fd, "tcdrain");
    return 0;
}

static void FlushOutput(int fd, int64_t now) {
    /* Bytes already on their way finish; the ones still waiting go. */
    Prune(now);
    while (g_queueCount > 0) {
        int last = (g_queueHead + g_queueCount - 1) % kQueueCapacity;
        if (g_queue[last].start <= now) break;
        --g_queueCount;
    }
    g_lineFree = g_queueCount > 0 ? g_queue[(g_queueHead + g_queueCount - 1) % kQueueCapacity].end : now;
    Log("flush", fd, now, "left=%d", g_queueCount);
}

VU_EXPORT int tcflush(int fd, int queue) {
    EnsureInit();
    if (!IsDevice(fd)) return g_real.tcflush(fd, queue);
    int64_t now = Now();
    pthread_mutex_lock(&g_lock);
    int gone = Gone();
    if (!gone && (queue == TCOFLUSH || queue == TCIOFLUSH)) FlushOutput(fd, now);
    pthread_mutex_unlock(&g_lock);
    if (gone) return FailGone(fd, "tcflush");
    return g_real.tcflush(fd, queue);
}

static void FromKernel(struct termios* t, const struct KernelTermios* k) {
    *t = g_shadow;
    t->c_iflag = k->c_iflag;
    t->c_oflag = k->c_oflag;
    t->c_cflag = k->c_cflag;
    t->c_lflag = k->c_lflag;
    t->c_line = k->c_line;
    memcpy(t->c_cc, k->c_cc, sizeof k->c_cc);
}

static void ToKernel(struct KernelTermios* k, const struct termios* t) {
    k->c_iflag = t->c_iflag;
    k->c_oflag = t->c_oflag;
    k->c_cflag = t->c_cflag;
    k->c_lflag = t->c_lflag;
    k->c_line = t->c_line;
    memcpy(k->c_cc, t->c_cc, sizeof k->c_cc);
}

/* TCSBRK and TCFLSH take an int, read here as the pointer-sized variadic
 * argument: only its low half was passed. */
static int IntArg(void* arg) { return (int)(intptr_t)arg; }

static int DeviceIoctl(int fd, unsigned long request, void* arg) {
    int64_t now = Now();
    pthread_mutex_lock(&g_lock);
    if (Gone()) {
        pthread_mutex_unlock(&g_lock);
        return FailGone(fd, "ioctl");
    }
    EnsureShadow(fd);
    int* lines = arg;
    switch (request) {
        case TIOCMGET:
            *lines = g_modemLines;
            Log("modem", fd, now, "op=get lines=0x%x", (unsigned)g_modemLines);
            break;
        case TIOCMBIS:
            g_modemLines |= *lines & (TIOCM_DTR | TIOCM_RTS);
            Log("modem", fd, now, "op=bis arg=0x%x lines=0x%x", (unsigned)*lines, (unsigned)g_modemLines);
            break;
        case TIOCMBIC:
            g_modemLines &= ~(*lines & (TIOCM_DTR | TIOCM_RTS));
            Log("modem", fd, now, "op=bic arg=0x%x lines=0x%x", (unsigned)*lines, (unsigned)g_modemLines);
            break;
        case TIOCMSET:
            g_modemLines = *lines & (TIOCM_DTR | TIOCM_RTS);
            Log("modem", fd, now, "op=set arg=0x%x lines=0x%x", (unsigned)*lines, (unsigned)g_modemLines);
            break;
        case TIOCOUTQ:
            Prune(now);
            *lines = g_queueCount;
            Log("outq", fd, now, "n=%d", g_queueCount);
            break;
        case TIOCSERGETLSR:
            *(unsigned int*)arg = now >= g_lineFree ? TIOCSER_TEMT : 0;
            Log("lsr", fd, now, "temt=%d", now >= g_lineFree ? 1 : 0);
            break;
        case TIOCGSERIAL: {
            struct serial_struct* ss = arg;
            memset(ss, 0, sizeof *ss);
            ss->type = PORT_16550A;
            ss->line = 0;
            ss->port = 0x3f8;
            ss->irq = 4;
            ss->xmit_fifo_size = 16;
            ss->baud_base = 115200;
            ss->close_delay = 50;
            ss->closing_wait = 3000;
            break;
        }
        case TCGETS:
            ToKernel(arg, &g_shadow);
            Log("get", fd, now, "via=ioctl");
            break;
        case TCFLSH:
            if (IntArg(arg) == TCOFLUSH || IntArg(arg) == TCIOFLUSH) FlushOutput(fd, now);
            pthread_mutex_unlock(&g_lock);
            return g_real.ioctl(fd, request, arg);
        default:
            pthread_mutex_unlock(&g_lock);
            return -2; /* not ours: the caller passes it to the pty */
    }
    pthread_mutex_unlock(&g_lock);
    return 0;
}

VU_EXPORT int ioctl(int fd, unsigned long request, ...) {
    EnsureInit();
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!IsDevice(fd)) return g_real.ioctl(fd, request, arg);

    switch (request) {
        case TCSETS:
        case TCSETSW:
        case TCSETSF: {
            struct termios t;
            pthread_mutex_lock(&g_lock);
            EnsureShadow(fd);
            FromKernel(&t, arg);
            pthread_mutex_unlock(&g_lock);
            return tcsetattr(fd, request == TCSETS ? TCSANOW : request == TCSETSW ? TCSADRAIN : TCSAFLUSH, &t);
        }
        case TCSBRK:
            if (IntArg(arg) != 0) return tcdrain(fd);
            break;
        default:
            break;
    }
    int rc = DeviceIoctl(fd, request, arg);
    if (rc != -2) return rc;
    rc = g_real.ioctl(fd, request, arg);
    if (request == TIOCEXCL || request == TIOCNXCL) {
        Log(request == TIOCEXCL ? "excl" : "nxcl", fd, Now(), "rc=%d", rc);
    }
    return rc;
}

VU_EXPORT int flock(int fd, int operation) {
    EnsureInit();
    if (!IsDevice(fd)) return g_real.flock(fd, operation);
    int64_t now = Now();
    int rc = g_real.flock(fd, operation);
    int saved = errno;
    Log("flock", fd, now, "op=0x%x rc=%d errno=%d", (unsigned)operation, rc, rc == 0 ? 0 : saved);
    errno = saved;
    return rc;
}

VU_EXPORT int poll(struct pollfd* fds, nfds_t n, int timeout) {
    EnsureInit();
    int device = -1;
    for (nfds_t i = 0; i < n; ++i) {
        if (IsDevice(fds[i].fd)) {
            device = fds[i].fd;
            break;
        }
    }
    if (device < 0) return g_real.poll(fds, n, timeout);

    int64_t start = Now();
    pthread_mutex_lock(&g_lock);
    int gone = Gone();
    pthread_mutex_unlock(&g_lock);
    int rc;
    if (gone) {
        /* A hung-up tty is always ready, with POLLHUP and POLLERR. */
        int saved[64];
        nfds_t hidden = n < 64 ? n : 64;
        int ready = 0;
        for (nfds_t i = 0; i < hidden; ++i) {
            saved[i] = fds[i].fd;
            if (IsDevice(fds[i].fd)) fds[i].fd = -1;
        }
        rc = g_real.poll(fds, n, 0);
        for (nfds_t i = 0; i < hidden; ++i) {
            if (fds[i].fd == -1 && saved[i] != -1) {
                fds[i].fd = saved[i];
                fds[i].revents = (short)((fds[i].events & (POLLIN | POLLOUT | POLLRDNORM | POLLWRNORM)) | POLLERR | POLLHUP);
                ++ready;
            }
        }
        rc = rc < 0 ? ready : rc + ready;
    } else {
        rc = g_real.poll(fds, n, timeout);
    }
    for (nfds_t i = 0; i < n; ++i) {
        if (fds[i].fd == device) {
            Log("poll", device, start, "events=0x%x timeout=%d rc=%d revents=0x%x done=%lld", (unsigned)fds[i].events,
                timeout, rc, (unsigned)fds[i].revents, (long long)Now());
            break;
        }
    }
    return rc;
}
