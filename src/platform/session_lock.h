// Whether the user's session is locked, as the system's login manager says. Providers:
// session_lock_linux.cpp (systemd-logind's LockedHint on the system bus, through sd-bus
// loaded at run time), session_lock_none.cpp (Windows, where the lock screen is a
// window of its own that the sampler names; builds without sd-bus).
#pragma once

#include <optional>

namespace platform {

// True while the session is locked; nothing when no login manager answers.
std::optional<bool> sessionLocked();

} // namespace platform
