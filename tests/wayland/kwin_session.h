// A KWin on a virtual output for the tests, with XWayland and a session bus of its own,
// in a runtime folder of its own.
#pragma once

#include "sway_session.h"

namespace wayland_test {

struct Kwin {
    Scratch runtime;
    pid_t bus = -1;
    pid_t pid = -1;
    std::string busAddress;
    std::string waylandDisplay = "wayland-kwin";
    std::string x11Display;

    // An empty string when it came up with its scripting interface on the bus, else
    // what went wrong. dbusSend asks the bus whether KWin is on it.
    std::string start(const std::string& program, const std::string& dbusDaemon,
                      const std::string& dbusSend);
    void stop();
    // The environment of a client of this KWin, and of the sampler.
    Environment clientEnvironment() const;
};

} // namespace wayland_test
