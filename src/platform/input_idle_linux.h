// The idle time of the Linux desktops behind input_idle.h: input_idle_linux.cpp asks a
// Wayland compositor when WAYLAND_DISPLAY names one that answers, else the X server.
#pragma once

#include <cstdint>
#include <optional>

namespace platform::idle {

// What a Wayland compositor says: not reached (no WAYLAND_DISPLAY, or nothing answers
// there), or its answer, which is nothing when it offers no idle protocol.
struct WaylandIdle {
    bool reached = false;
    std::optional<std::int64_t> milliseconds;
    const char* protocol = nullptr; // the idle protocol asked, when there is one
};
WaylandIdle fromWayland(); // input_idle_wayland.cpp, or input_idle_wayland_none.cpp

std::optional<std::int64_t> fromX11(); // input_idle_x11.cpp, or input_idle_none.cpp

} // namespace platform::idle
