// Where the log lives: one file per local day, and the open event beside them.
#pragma once

#include "logformat/civil_time.h"

#include <filesystem>
#include <string>

namespace logformat {

// "YYYY-MM-DD.jsonl"
std::string dayFileName(const CivilDate& date);

// The open event, replaced at every sample.
inline constexpr const char* currentEventFileName = "current.json";

// The user's own data folder, then activity-sampler/log: %LOCALAPPDATA% on Windows,
// $XDG_DATA_HOME (else ~/.local/share) on Linux. Empty when the system names none.
std::filesystem::path defaultLogDirectory();

} // namespace logformat
