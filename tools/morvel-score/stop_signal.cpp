#include "tools/morvel-score/stop_signal.h"

#include <cerrno>
#include <chrono>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace morvel {

namespace {

volatile std::sig_atomic_t g_stopped = 0;
// A byte written into it wakes the wait (the handler may only write).
int g_wake[2] = {-1, -1};

extern "C" void OnStop(int) {
    const int saved = errno;
    g_stopped = 1;
    if (g_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(g_wake[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

void InstallStopHandler() {
    if (pipe(g_wake) == 0) {
        for (const int fd : g_wake) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return g_stopped != 0;
}

bool WaitForStop(int seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::seconds(seconds);
    while (!StopRequested()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd wake{g_wake[0], POLLIN, 0};
        // Without the pipe, short naps so that a stop is still seen soon.
        poll(g_wake[0] >= 0 ? &wake : nullptr, g_wake[0] >= 0 ? 1 : 0,
             static_cast<int>(g_wake[0] >= 0 ? left : std::min<long long>(left, 100)));
    }
    return StopRequested();
}

} // namespace morvel
