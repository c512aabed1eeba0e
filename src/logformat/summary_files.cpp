#include "logformat/summary_files.h"

#include "platform/system.h"
#include "text/utf8_path.h"

#include <cstdio>
#include <system_error>

namespace logformat {

std::filesystem::path summaryFolder(const std::filesystem::path& logDirectory) {
    return logDirectory / "summaries";
}

std::filesystem::path summaryCacheRoot() {
    const std::filesystem::path cache = platform::userCacheDirectory();
    return cache.empty() ? cache : cache / "activity-sampler";
}

// The name is FNV-1a of the folder's absolute path.
std::filesystem::path cachedSummaryFolder(const std::filesystem::path& cacheRoot,
                                          const std::filesystem::path& logDirectory) {
    if (cacheRoot.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(logDirectory, error);
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text::utf8FromPath(error ? logDirectory : absolute)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[24];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return cacheRoot / "summaries" / name;
}

std::string summaryFileName(const CivilDate& day) {
    return formatDate(day) + ".json";
}

} // namespace logformat
