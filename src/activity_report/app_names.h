// The user's own names and categories for programs: [[app]] tables in the rules file,
// applied to every event of a program as the report reads it, so that a change holds
// for all the log at once.
#pragma once

#include "logformat/log_event.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace report {

struct AppName {
    std::string exe;                      // "backup-tool", "Backup.exe"
    std::optional<std::string> name;      // none: the sampler's name stays
    std::optional<std::int64_t> category; // none: the sampler's category stays
    int line = 0;                         // in the rules file, for messages
};

struct AppNames {
    std::vector<AppName> apps;
    std::unordered_map<std::string, std::size_t> byExe; // the exe in lower case

    bool empty() const { return apps.empty(); }
    // False, with the line of the first, when an [[app]] names the same exe already.
    bool add(AppName app, int& firstLine);
};

// The program an event is of: its image path's last part (after "/" or "\"); for a
// window named by a Wayland app id alone, with no path, the name the sampler gave it.
std::string_view executableOf(const logformat::LogEvent& event);

// EVENT with the user's name and category for its program, when there is an [[app]]
// for it. Executable names match in any letter case, as Windows' file names do.
void applyAppNames(const AppNames& names, logformat::LogEvent& event);

} // namespace report
