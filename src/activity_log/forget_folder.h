// Forgetting a span in a log folder: the day files it reaches are rewritten, each
// through a temporary file and an atomic replace, so that a crash leaves a day whole,
// forgotten or not yet; the report's summaries of those days go. Only the holder of the
// folder's lock does this (the collector, or activity-log forget when none runs).
#pragma once

#include "activity_log/forget_range.h"
#include "logformat/civil_time.h"

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace activity_log {

struct ForgetOutcome {
    std::size_t events = 0;              // whose text went
    std::set<logformat::CivilDate> days; // whose files were rewritten
    std::size_t damagedLines = 0;        // lines that weren't events, left out of those
    std::vector<std::string> failures;   // what couldn't be done, one message each
};

// Forgets RANGE in DIRECTORY's day files and in CURRENT (the events current.json holds:
// queued, then open), which the caller keeps. SUMMARY_CACHE_ROOT is the report's
// fallback for summaries (empty: none).
ForgetOutcome forgetInFolder(const std::filesystem::path& directory, const TimeRange& range,
                             std::vector<logformat::LogEvent>& current,
                             const std::filesystem::path& summaryCacheRoot);

} // namespace activity_log
