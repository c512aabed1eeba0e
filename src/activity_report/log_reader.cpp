#include "activity_report/log_reader.h"

#include "logformat/log_event_scan.h"
#include "logformat/log_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace report {

namespace {

// The day before the selection is read from its end in pieces of this size: only its
// last events can reach into the selection.
constexpr std::size_t pieceBytes = 64 * 1024;
// A day file is read in pieces of this size.
constexpr std::size_t readPieceBytes = 256 * 1024;

std::string_view withoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool blank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

void takeLine(std::string_view line, std::uint64_t& skippedLines,
              const std::function<void(logformat::LogEvent&)>& onEvent, unsigned keep) {
    line = withoutLineEnd(line);
    if (blank(line)) {
        return;
    }
    logformat::LogEvent event;
    if (!logformat::readLogEvent(line, event, keep)) {
        ++skippedLines;
        return;
    }
    onEvent(event);
}

} // namespace

void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent) {
    std::string buffer;
    readDayFile(file, skippedLines, onEvent, buffer);
}

void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent, std::string& buffer,
                 unsigned keep) {
    // A piece at a time, into storage kept from file to file: the piece stays in the
    // processor's cache while its lines are read, and a long day needs no more memory
    // than a short one.
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return;
    }
    if (buffer.size() < readPieceBytes) {
        buffer.resize(readPieceBytes);
    }
    std::size_t filled = 0;
    logformat::LogEvent event;
    for (;;) {
        in.read(buffer.data() + filled, static_cast<std::streamsize>(buffer.size() - filled));
        const auto got = static_cast<std::size_t>(in.gcount());
        filled += got;
        const std::string_view text(buffer.data(), filled);
        const std::size_t lastLineEnd = text.rfind('\n');
        const std::string_view lines =
            text.substr(0, lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1);
        std::size_t at = 0;
        while (at < lines.size()) {
            // The collector's own lines are read, and their ends found, in one pass.
            const std::string_view rest = lines.substr(at);
            std::size_t length = 0;
            switch (logformat::scanLogEvent(rest, event, keep, length)) {
            case logformat::ScanResult::event:
                onEvent(event);
                break;
            case logformat::ScanResult::notAnEvent:
                ++skippedLines;
                break;
            case logformat::ScanResult::otherShape:
                length = rest.find('\n');
                takeLine(rest.substr(0, length), skippedLines, onEvent, keep);
                break;
            }
            at += length + 1;
        }
        if (got == 0) {
            // The last line, without its line end: complete, or cut short.
            takeLine(text.substr(at), skippedLines, onEvent, keep);
            return;
        }
        // The line the piece ends inside moves to the front; one longer than the whole
        // buffer makes it grow.
        std::memmove(buffer.data(), buffer.data() + at, filled - at);
        filled -= at;
        if (filled == buffer.size()) {
            buffer.resize(buffer.size() * 2);
        }
    }
}

std::optional<logformat::LogEvent> firstEventOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string start(pieceBytes, '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(in.gcount()));
    std::string_view rest(start);
    if (start.size() == pieceBytes) {
        // The piece may end inside a line: only the whole ones are read.
        rest = rest.substr(0, rest.rfind('\n') + 1);
    }
    logformat::LogEvent event;
    while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        const std::string_view line = withoutLineEnd(rest.substr(0, newline));
        if (!blank(line) && logformat::readLogEvent(line, event, 0)) {
            return event;
        }
        rest = newline == std::string_view::npos ? std::string_view{} : rest.substr(newline + 1);
    }
    return std::nullopt;
}

void readDayFileBackwards(const std::filesystem::path& file,
                          const std::function<bool(logformat::LogEvent&)>& onEvent) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0) {
        return;
    }
    const auto fileSize = static_cast<std::size_t>(size);
    std::string tail;
    std::size_t handedOver = 0; // lines from the end already given to ON_EVENT
    for (std::size_t want = std::min(fileSize, pieceBytes);; want = std::min(fileSize, want * 4)) {
        tail.resize(want);
        in.clear();
        in.seekg(static_cast<std::streamoff>(fileSize - want));
        in.read(tail.data(), static_cast<std::streamsize>(want));
        tail.resize(static_cast<std::size_t>(in.gcount()));
        const bool whole = want == fileSize;
        std::string_view rest(tail);
        std::size_t lines = 0;
        while (!rest.empty()) {
            const std::size_t lineEnd = rest.back() == '\n' ? rest.size() - 1 : rest.size();
            const std::size_t newline = rest.substr(0, lineEnd).rfind('\n');
            if (newline == std::string_view::npos && !whole) {
                break; // the piece begins inside this line: read more
            }
            const std::size_t lineStart = newline == std::string_view::npos ? 0 : newline + 1;
            const std::string_view line =
                withoutLineEnd(rest.substr(lineStart, lineEnd - lineStart));
            rest = rest.substr(0, lineStart);
            if (blank(line) || ++lines <= handedOver) {
                continue;
            }
            ++handedOver;
            if (auto event = logformat::parseLogEvent(line); event && !onEvent(*event)) {
                return;
            }
        }
        if (whole) {
            return;
        }
    }
}

std::vector<logformat::LogEvent> readCurrentEvents(const std::filesystem::path& directory,
                                                   std::uint64_t& skippedLines) {
    std::vector<logformat::LogEvent> events;
    readDayFile(directory / logformat::currentEventFileName, skippedLines,
                [&](logformat::LogEvent& event) { events.push_back(std::move(event)); });
    return events;
}

} // namespace report
