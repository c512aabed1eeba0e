// How long the user has given no keyboard or mouse input. Providers:
// input_idle_win32.cpp (GetLastInputInfo), input_idle_linux.cpp (a Wayland
// compositor's idle protocol in input_idle_wayland.cpp; else the X server's idle
// counter or screen-saver extension in input_idle_x11.cpp; input_idle_*none.cpp where
// the build has neither).
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// Milliseconds since the last input, or nothing when the system can't tell (no
// display to ask).
std::optional<std::int64_t> inputIdleMilliseconds();

} // namespace platform
