// Where the day summaries live: a summaries/ folder inside the log folder, or, when that
// can't be written, a folder of the user's cache named after the log folder. Deleting
// either is always safe: a missing summary is made again from the day file.
#pragma once

#include "activity_report/day_summary.h"
#include "logformat/civil_time.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace report {

struct SummaryStore {
    std::filesystem::path logDirectory;
    std::filesystem::path cacheDirectory; // the fallback's root; empty when none
    bool writeFailed = false;             // neither place took a summary
};

// The day file's size and modification time, as a summary records them.
std::optional<SourceStamp> stampOf(const std::filesystem::path& dayFile);

// DAY's summary, with the list for BY, when one was made of the file as it is now (and,
// for projects, under the rules of RULES_DIGEST).
std::optional<DaySummary> loadSummary(const SummaryStore& store, const logformat::CivilDate& day,
                                      GroupBy by, const SourceStamp& source,
                                      std::string_view rulesDigest = {});

// Keeps SUMMARY for DAY, replacing any older one atomically.
void saveSummary(SummaryStore& store, const logformat::CivilDate& day, const DaySummary& summary);

} // namespace report
