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

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = write(fd, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

} // namespace

std::vector<std::string> collectorArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

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

bool writeCollectorOutput(std::string_view bytes) {
    return writeAll(1, bytes);
}

void writeCollectorError(std::string_view bytes) {
    writeAll(2, bytes);
}

} // namespace platform
