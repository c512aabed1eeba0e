#include "platform/input_idle.h"

#include <windows.h>

namespace platform {

std::optional<std::int64_t> inputIdleMilliseconds() {
    LASTINPUTINFO last{};
    last.cbSize = sizeof last;
    if (!GetLastInputInfo(&last)) {
        return std::nullopt;
    }
    // The input time is a 32-bit tick count: the difference is taken in 32 bits, so
    // that it holds across the counter's wrap every 49.7 days.
    const DWORD now = static_cast<DWORD>(GetTickCount64());
    return static_cast<std::int64_t>(static_cast<DWORD>(now - last.dwTime));
}

} // namespace platform
