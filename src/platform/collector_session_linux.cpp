#include "platform/collector_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

volatile sig_atomic_t stopAsked = 0;
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void onStopSignal(int) {
    const int saved = errno;
    stopAsked = 1;
    if (wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = write(wakeWrite, &byte, 1);
    }
    errno = saved;
}

} // namespace

void watchForStopRequests() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead = ends[0];
        wakeWrite = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of --output - that goes away is a failed write, not the end.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool waitForStopRequest(std::chrono::milliseconds duration) {
    if (stopAsked) {
        return true;
    }
    pollfd wake{wakeRead, POLLIN, 0};
    const auto ms = duration.count() < 0 ? 0 : duration.count();
    poll(&wake, wakeRead >= 0 ? 1 : 0, ms > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(ms));
    return stopAsked != 0;
}

void stopCompleted() {}

} // namespace platform
