#include "platform/session_lock.h"

namespace platform {

std::optional<bool> sessionLocked() {
    return std::nullopt;
}

} // namespace platform
