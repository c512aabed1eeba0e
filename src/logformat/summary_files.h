// Where the report keeps its day summaries, which hold the titles of the days they
// summarise: summaries/ in the log folder, or, when that can't be written, a folder of the
// user's cache named after the log folder. The report writes them; forgetting a span
// removes those of its days.
#pragma once

#include "logformat/civil_time.h"

#include <filesystem>
#include <string>

namespace logformat {

// LOG_DIRECTORY/summaries
std::filesystem::path summaryFolder(const std::filesystem::path& logDirectory);

// The fallback's root: the user's cache, then activity-sampler. Empty when the system
// names no cache folder.
std::filesystem::path summaryCacheRoot();

// The fallback for LOG_DIRECTORY under CACHE_ROOT: summaries/, then a name that stays the
// same from run to run for the same folder. Empty when CACHE_ROOT is.
std::filesystem::path cachedSummaryFolder(const std::filesystem::path& cacheRoot,
                                          const std::filesystem::path& logDirectory);

// "YYYY-MM-DD.json"
std::string summaryFileName(const CivilDate& day);

} // namespace logformat
