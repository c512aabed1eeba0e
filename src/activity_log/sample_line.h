// The sampler's line, read back into Unicode. The line is written for exactly one
// reader: its keys come in a fixed order, and its values carry the sampler's own byte
// encodings, which a general JSON parser would reject (a surrogate encoded on its own,
// Latin-1 bytes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace activity_log {

struct Sample {
    bool window = false; // false: no foreground window (the no-window line, or "{}")
    // All UTF-8.
    std::string title;
    std::string curatedTitle;
    std::string doc;
    std::string url;
    std::uint64_t pid = 0;
    std::string name;
    std::string path;
    std::int64_t category = 0;
};

// The sample in OUTPUT, the sampler's whole standard output: one line ending in CR LF
// (or LF). Nothing for anything else: no line, more than one, a key out of place, a
// value out of its encoding or range.
std::optional<Sample> readSampleLine(std::string_view output);

} // namespace activity_log
