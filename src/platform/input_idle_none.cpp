#include "platform/input_idle.h"

namespace platform {

// Built without the X screen-saver extension: idle time is never known.
std::optional<std::int64_t> inputIdleMilliseconds() {
    return std::nullopt;
}

} // namespace platform
