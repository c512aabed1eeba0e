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

namespace {

std::filesystem::path cacheSummaries(const std::filesystem::path& cacheRoot) {
    return cacheRoot / "summaries";
}

} // namespace

// The name is FNV-1a of the folder's canonical path: absolute, with no link, "." or ".."
// in it and no separator at its end, so that every spelling of one folder has one name.
std::filesystem::path cachedSummaryFolder(const std::filesystem::path& cacheRoot,
                                          const std::filesystem::path& logDirectory) {
    if (cacheRoot.empty()) {
        return {};
    }
    std::error_code error;
    std::filesystem::path identity = std::filesystem::canonical(logDirectory, error);
    if (error) {
        identity = std::filesystem::absolute(logDirectory, error).lexically_normal();
    }
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text::utf8FromPath(error ? logDirectory : identity)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[24];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return cacheSummaries(cacheRoot) / name;
}

std::vector<std::filesystem::path> cachedSummaryFolders(const std::filesystem::path& cacheRoot) {
    std::vector<std::filesystem::path> folders;
    if (cacheRoot.empty()) {
        return folders;
    }
    std::error_code error;
    for (std::filesystem::directory_iterator entry(cacheSummaries(cacheRoot), error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code typeError;
        if (entry->is_directory(typeError) && !entry->is_symlink(typeError)) {
            folders.push_back(entry->path());
        }
    }
    return folders;
}

std::string summaryFileName(const CivilDate& day) {
    return formatDate(day) + ".json";
}

} // namespace logformat
