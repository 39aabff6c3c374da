#include "XvfbServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrell::test {

pid_t StartXvfb(std::string& strDisplay) {
    strDisplay.clear();
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        // The server goes with its starter, also when a timeout kills it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const std::string strFd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    pollfd waitFor{fds[0], POLLIN, 0};
    // A bound on the wait only, so a missing Xvfb fails instead of hanging.
    while (poll(&waitFor, 1, 30000) > 0) {
        char ch = 0;
        if (read(fds[0], &ch, 1) != 1 || ch == '\n') break;
        strDisplay.push_back(ch);
    }
    close(fds[0]);
    if (strDisplay.empty()) {
        StopXvfb(pid);
        return -1;
    }
    return pid;
}

void StopXvfb(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace vantrell::test
