// How long the user has given no keyboard or mouse input. Providers:
// input_idle_win32.cpp (GetLastInputInfo), input_idle_x11.cpp (the X server's idle
// counter, else the screen-saver extension), input_idle_none.cpp (a Linux build
// without them).
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// Milliseconds since the last input, or nothing when the system can't tell (no
// display to ask).
std::optional<std::int64_t> inputIdleMilliseconds();

} // namespace platform
