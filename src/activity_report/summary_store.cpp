#include "activity_report/summary_store.h"

#include "activity_report/project_tree.h"
#include "activity_report/report_options.h"
#include "logformat/log_files.h"
#include "logformat/summary_files.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

namespace report {

namespace {

// What is read of a summary at first: its header and, nearly always, the list asked for.
constexpr std::size_t firstReadBytes = 16 * 1024;

std::filesystem::path inLogFolder(const SummaryStore& store) {
    return logformat::summaryFolder(store.logDirectory);
}

std::filesystem::path inCache(const SummaryStore& store) {
    return logformat::cachedSummaryFolder(store.cacheDirectory, store.logDirectory);
}

std::string fileName(const logformat::CivilDate& day) {
    return logformat::summaryFileName(day);
}

// No rule nor tag names a project deeper than the bound: a summary that does was made by
// hand, and its paths would make a table of many rows a level.
bool withinLevels(const GroupList& projects) {
    return std::all_of(projects.begin(), projects.end(), [](const auto& project) {
        return projectLevels(project.first) <= maxProjectLevels;
    });
}

std::optional<DaySummary> loadFrom(const std::filesystem::path& file, GroupBy by,
                                   const SourceStamp& source, std::string_view rulesDigest) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff fileSize = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (fileSize < 0 || !in.seekg(0)) {
        return std::nullopt;
    }
    std::string text(firstReadBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t headerEnd = text.find('\n');
    if (headerEnd == std::string::npos) {
        return std::nullopt;
    }
    auto header = parseSummaryHeader(std::string_view(text).substr(0, headerEnd));
    // Every offset and length the header gives is checked against the file before one is
    // used: a damaged one would read past the end, take another list, or allocate for
    // bytes the file doesn't have.
    if (!header || !(header->summary.source == source) ||
        !sectionsFit(*header, static_cast<std::uint64_t>(fileSize) - (headerEnd + 1))) {
        return std::nullopt;
    }
    const bool projects = by == GroupBy::project;
    if (projects && (!header->projectSection || header->summary.rulesDigest != rulesDigest)) {
        return std::nullopt; // made under other rules, or none
    }
    const auto [offset, length] =
        projects ? *header->projectSection : header->sections[static_cast<std::size_t>(by)];
    const std::size_t from = headerEnd + 1 + offset;
    if (from + length > text.size()) {
        text.resize(from + length);
        in.clear();
        in.seekg(static_cast<std::streamoff>(headerEnd + 1 + offset));
        in.read(text.data() + from, static_cast<std::streamsize>(length));
        if (static_cast<std::size_t>(in.gcount()) != length) {
            return std::nullopt; // cut short
        }
    }
    auto groups = parseSummaryGroups(std::string_view(text).substr(from, length));
    if (!groups || (projects && !withinLevels(*groups))) {
        return std::nullopt;
    }
    (projects ? header->summary.projects : header->summary.groups[static_cast<std::size_t>(by)]) =
        std::move(*groups);
    return std::move(header->summary);
}

// Through a file of its own name, so that reports running side by side never mix.
bool saveIn(const std::filesystem::path& folder, const logformat::CivilDate& day,
            const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return false;
    }
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    const std::filesystem::path target = folder / fileName(day);
    std::filesystem::path temporary = target;
    temporary += suffix;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace

std::optional<SourceStamp> stampOf(const std::filesystem::path& dayFile) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(dayFile, error);
    if (error) {
        return std::nullopt;
    }
    const auto time = std::filesystem::last_write_time(dayFile, error);
    if (error) {
        return std::nullopt;
    }
    return SourceStamp{size, static_cast<std::int64_t>(time.time_since_epoch().count())};
}

std::optional<DaySummary> loadSummary(const SummaryStore& store, const logformat::CivilDate& day,
                                      GroupBy by, const SourceStamp& source,
                                      std::string_view rulesDigest) {
    if (auto summary = loadFrom(inLogFolder(store) / fileName(day), by, source, rulesDigest)) {
        return summary;
    }
    const std::filesystem::path cache = inCache(store);
    if (cache.empty()) {
        return std::nullopt;
    }
    return loadFrom(cache / fileName(day), by, source, rulesDigest);
}

void saveSummary(SummaryStore& store, const logformat::CivilDate& day, const DaySummary& summary) {
    const std::string text = formatSummary(summary);
    std::filesystem::path folder = inLogFolder(store);
    if (!saveIn(folder, day, text)) {
        folder = inCache(store);
        if (folder.empty() || !saveIn(folder, day, text)) {
            store.writeFailed = true;
            return;
        }
    }
    // The day file rewritten while it was read (its text forgotten): the summary would
    // keep that text, and a forget that removed the old summary before this one landed
    // wouldn't see it. Checked after the rename, one of the two removes it.
    if (stampOf(store.logDirectory / logformat::dayFileName(day)) != summary.source) {
        std::error_code error;
        std::filesystem::remove(folder / fileName(day), error);
    }
}

} // namespace report
