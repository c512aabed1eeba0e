// Time labelled by hand after the fact: tags.jsonl in a log folder, one line for each
// tag made and each tag removed. Lines are only ever appended, as the day files' are,
// so a removal is a line of its own and the file keeps its history.
#pragma once

#include "logformat/timestamp.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

inline constexpr const char* tagFileName = "tags.jsonl";

// The time [fromMs, toMs) labelled LABEL ("meeting/standup", "/" between project
// levels), made at MADE_MS.
struct Tag {
    std::string id;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::string label;
    std::int64_t madeMs = 0;
};

// A line of the file, LF included:
// {"id": "tbc9x4", "start": "…", "end": "…", "label": "…", "made": "…"}
// with moments as the log writes them, or the removal of tag ID:
// {"remove": "tbc9x4", "made": "…"}
std::string formatTagLine(std::string_view id, const logformat::Timestamp& from,
                          const logformat::Timestamp& to, std::string_view label,
                          const logformat::Timestamp& made);
std::string formatRemovalLine(std::string_view id, const logformat::Timestamp& made);

struct TagFile {
    std::vector<Tag> tags;        // in effect (made and not removed), in file order
    std::vector<std::string> ids; // every id the file has given, removed ones too
    std::vector<std::string> removed;
    std::uint64_t skippedLines = 0; // not a tag nor a removal: damaged, or cut short
    bool endsInLineEnd = true;      // false after a last line a crash cut short
};

// The lines of a tags.jsonl file.
TagFile parseTagFile(std::string_view text);

// DIRECTORY's tags.jsonl; a folder without one has no tags. Nothing when the file is
// there but can't be read.
std::optional<TagFile> readTagFile(const std::filesystem::path& directory);

// A new tag's id: the moment it is made, in seconds since 1970, in base 36 ("tbc9x4"),
// and "-2", "-3"… after it when a tag made within the same second has that one.
std::string newTagId(std::int64_t madeMs, const std::vector<std::string>& taken);

// A label a tag can carry: "" when it can, else what is wrong with it.
std::string labelProblem(std::string_view label);

// LABEL (one labelProblem passes) as a project path: "Work / Client A" is "Work/Client A",
// as in a rule.
std::string normalLabel(std::string_view label);

// The tags of several folders, in the order they were made (the last made wins where
// tags overlap).
std::vector<Tag> tagsByMadeTime(std::vector<Tag> tags);

} // namespace report
