// A build without sd-bus's header: GNOME Shell is not asked.
#include "platform/gnome_session_linux.h"

namespace platform::gnome {

std::optional<std::int64_t> mutterIdleMilliseconds() {
    return std::nullopt;
}

std::optional<bool> shellSessionLocked() {
    return std::nullopt;
}

} // namespace platform::gnome
