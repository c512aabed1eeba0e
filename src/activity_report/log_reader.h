// Reading the collector's files: day files line by line, and the open event.
#pragma once

#include "logformat/log_event.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Calls ON_EVENT for every event line of FILE, in file order; a line that isn't an
// event (unparsable, not UTF-8, cut short while the collector writes it) is skipped and
// counted. A missing file has no lines. The file is read whole: it holds one day.
void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent);
// The same, reading into BUFFER, which keeps its storage for the next file, and keeping
// only the text fields in KEEP (logformat::textField).
void readDayFile(const std::filesystem::path& file, std::uint64_t& skippedLines,
                 const std::function<void(logformat::LogEvent&)>& onEvent, std::string& buffer,
                 unsigned keep = logformat::textField::all);

// The first event among FILE's first lines, the ones that its first 64 KiB hold whole:
// a bounded look at how a day begins. None for a missing file, or none found there.
std::optional<logformat::LogEvent> firstEventOf(const std::filesystem::path& file);

// Calls ON_EVENT for the event lines of FILE from its last line back, for as long as
// it returns true. Lines that aren't events are passed over, uncounted.
void readDayFileBackwards(const std::filesystem::path& file,
                          const std::function<bool(logformat::LogEvent&)>& onEvent);

// The events of DIRECTORY's current.json, in its order: the ones the collector couldn't
// write to their day files yet, then the open one. Each may be in its day file already,
// since the collector appends before it replaces current.json.
std::vector<logformat::LogEvent> readCurrentEvents(const std::filesystem::path& directory,
                                                   std::uint64_t& skippedLines);

} // namespace report
