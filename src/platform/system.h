// What the companion programs (the collector and the report) ask of the system beyond
// the standard library: the local time zone and the user's data folder. Providers:
// system_win32.cpp, system_linux.cpp.
#pragma once

#include <cstdint>
#include <filesystem>

namespace platform {

// Local time minus UTC, in minutes, at the moment UNIX_MS (milliseconds since 1970),
// by the system's current time-zone rules, daylight saving included.
std::int32_t localUtcOffsetMinutes(std::int64_t unixMs);

// The folder for the user's application data: %LOCALAPPDATA% on Windows;
// $XDG_DATA_HOME when absolute, else ~/.local/share on Linux. Empty when none is known.
std::filesystem::path userDataDirectory();

} // namespace platform
