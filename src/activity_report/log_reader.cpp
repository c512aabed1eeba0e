#include "activity_report/log_reader.h"

#include "logformat/log_files.h"

#include <cstring>
#include <fstream>
#include <string>

namespace report {

namespace {

// CONTENT keeps its storage from file to file: a fresh megabyte for every day would be
// mapped, faulted in and unmapped again.
bool readWhole(const std::filesystem::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0) {
        return false;
    }
    content.resize(static_cast<std::size_t>(size));
    in.read(content.data(), size);
    // A file that grew or shrank meanwhile: keep what was read.
    content.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

std::string_view withoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent) {
    std::string content;
    readDayFile(file, skippedLines, onEvent, content);
}

void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent, std::string& content) {
    if (!readWhole(file, content)) {
        return;
    }
    const char* at = content.data();
    const char* const end = at + content.size();
    while (at < end) {
        const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        const char* lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
        const std::string_view line =
            withoutLineEnd(std::string_view(at, static_cast<std::size_t>(lineEnd - at)));
        at = lineEnd + 1;
        if (blank(line)) {
            continue;
        }
        auto event = logformat::parseLogEvent(line);
        if (!event) {
            ++skippedLines;
            continue;
        }
        onEvent(*event);
    }
}

void readDayFileBackwards(const std::filesystem::path& file,
                          const std::function<bool(logformat::LogEvent&)>& onEvent) {
    std::string content;
    if (!readWhole(file, content)) {
        return;
    }
    std::string_view rest(content);
    while (!rest.empty()) {
        const std::size_t lineEnd = rest.back() == '\n' ? rest.size() - 1 : rest.size();
        const std::size_t lineStart = rest.substr(0, lineEnd).rfind('\n') + 1; // npos + 1 is 0
        const std::string_view line = withoutLineEnd(rest.substr(lineStart, lineEnd - lineStart));
        rest = rest.substr(0, lineStart);
        if (blank(line)) {
            continue;
        }
        if (auto event = logformat::parseLogEvent(line); event && !onEvent(*event)) {
            return;
        }
    }
}

std::optional<logformat::LogEvent> readOpenEvent(const std::filesystem::path& directory,
                                                 std::uint64_t& skippedLines) {
    std::optional<logformat::LogEvent> open;
    readDayFile(directory / logformat::currentEventFileName, skippedLines,
                [&](logformat::LogEvent& event) { open = std::move(event); });
    return open;
}

bool sameEvent(const logformat::LogEvent& a, const logformat::LogEvent& b) {
    return a.start.unixMs == b.start.unixMs && a.state == b.state && a.pid == b.pid &&
           a.title == b.title;
}

} // namespace report
