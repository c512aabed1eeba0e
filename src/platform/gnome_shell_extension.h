// The names under which the project's GNOME Shell extension (gnome-shell-extension/)
// answers on the session bus, shared by the sampler and the collector. They change only
// with the extension's interface version.
#pragma once

#include <cstdint>

namespace platform::gnome {

constexpr const char* extensionUuid = "focused-window@activity-sampler";
constexpr const char* busName = "org.activity_sampler.GnomeShell";
constexpr const char* objectPath = "/org/activity_sampler/GnomeShell";
constexpr const char* interfaceName = "org.activity_sampler.GnomeShell1";
constexpr std::uint32_t interfaceVersion = 1;
// Focus() answers (version, locked, focused, title, wm_class, app_id, pid).
constexpr const char* focusMethod = "Focus";
constexpr const char* focusSignature = "ubbsssu";
// What the user runs to install (or mend) it.
constexpr const char* installCommand = "activity-log gnome-extension install";

} // namespace platform::gnome
