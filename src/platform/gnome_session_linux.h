// What GNOME Shell tells the collector on the session bus: the idle time that Mutter
// counts, and whether the screen shield is up. Providers: gnome_session_linux.cpp
// (sd-bus loaded at run time), gnome_session_none.cpp (builds without sd-bus).
#pragma once

#include <cstdint>
#include <optional>

namespace platform::gnome {

// Milliseconds since the last input, from org.gnome.Mutter.IdleMonitor; nothing when
// no Mutter answers.
std::optional<std::int64_t> mutterIdleMilliseconds();

// True while the session is locked, from the project's extension, else from
// org.gnome.ScreenSaver; nothing when neither answers.
std::optional<bool> shellSessionLocked();

} // namespace platform::gnome
