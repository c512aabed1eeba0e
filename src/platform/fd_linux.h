// A file descriptor of the Linux providers, closed exactly once.
#pragma once

#include <unistd.h>

namespace platform {

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int value) : fd(value) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    // Hands the descriptor over: this no longer closes it.
    int release() {
        const int value = fd;
        fd = -1;
        return value;
    }
    void reset() {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
};

} // namespace platform
