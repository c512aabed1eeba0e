// What the companion programs (the collector and the report) ask of the system beyond
// the standard library: the local time zone and the user's data folder. Providers:
// system_win32.cpp, system_linux.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {

// Local time minus UTC, in minutes, at the moment UNIX_MS (milliseconds since 1970),
// by the system's current time-zone rules, daylight saving included.
std::int32_t localUtcOffsetMinutes(std::int64_t unixMs);

// The folder for the user's application data: %LOCALAPPDATA% on Windows;
// $XDG_DATA_HOME when absolute, else ~/.local/share on Linux. Empty when none is known.
std::filesystem::path userDataDirectory();

// The folder for the user's caches, which may be deleted at any time: %LOCALAPPDATA% on
// Windows; $XDG_CACHE_HOME when absolute, else ~/.cache on Linux. Empty when none is known.
std::filesystem::path userCacheDirectory();

// The folder for the user's own settings: %APPDATA% (the roaming one) on Windows;
// $XDG_CONFIG_HOME when absolute, else ~/.config on Linux. Empty when none is known.
std::filesystem::path userConfigDirectory();

// What names a file or folder whatever the spelling of its path (another case, "..", a
// trailing separator, a link): the volume and the file's number on it.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// Nothing when PATH names nothing that can be opened.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

} // namespace platform
