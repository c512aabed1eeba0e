// Which desktop the sampler will find, and where the collector's idle time comes from,
// asked the way they ask: for the collector's line at its start, and for why its
// samples find no window. Providers: desktop_probe_linux.cpp, desktop_probe_win32.cpp.
#pragma once

#include <string>

namespace platform {

struct DesktopProbe {
    bool found = false; // a desktop answers
    // The desktop and how it was reached ("sway (WAYLAND_DISPLAY=wayland-1)",
    // "X11 (DISPLAY=:0)"), or why none answers ("neither WAYLAND_DISPLAY nor DISPLAY is
    // set").
    std::string desktop;
    // Where idle time comes from ("the X server (DISPLAY=:0)"), or why it is unknown.
    std::string idleSource;
};

DesktopProbe probeDesktop();

} // namespace platform
