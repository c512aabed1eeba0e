#include "platform/input_idle_linux.h"

namespace platform::idle {

// Built without the X screen-saver extension: the X server's idle time is never known.
std::optional<std::int64_t> fromX11() {
    return std::nullopt;
}

} // namespace platform::idle
