// Where the report keeps its day summaries, which hold the titles of the days they
// summarise: summaries/ in the log folder, or, when that can't be written, a folder of the
// user's cache named after the log folder. The report writes them; forgetting a span
// removes those of its days.
#pragma once

#include "logformat/civil_time.h"

#include <filesystem>
#include <string>
#include <vector>

namespace logformat {

// LOG_DIRECTORY/summaries
std::filesystem::path summaryFolder(const std::filesystem::path& logDirectory);

// The fallback's root: the user's cache, then activity-sampler. Empty when the system
// names no cache folder.
std::filesystem::path summaryCacheRoot();

// The fallback for LOG_DIRECTORY under CACHE_ROOT: summaries/, then a name that stays the
// same from run to run for the same folder, however it is spelled ("log/", "./log", a
// link to it). Empty when CACHE_ROOT is.
std::filesystem::path cachedSummaryFolder(const std::filesystem::path& cacheRoot,
                                          const std::filesystem::path& logDirectory);

// Every fallback folder under CACHE_ROOT, whichever log folder each was named after. A
// name can't be traced back to its folder, and a folder may have had another (a link
// since removed, an older version's naming): forgetting clears a day from all of them.
std::vector<std::filesystem::path> cachedSummaryFolders(const std::filesystem::path& cacheRoot);

// "YYYY-MM-DD.json"
std::string summaryFileName(const CivilDate& day);

} // namespace logformat
