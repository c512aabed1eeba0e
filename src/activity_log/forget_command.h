// activity-log forget: removes the text of the spans in a range of time from a log
// folder for good, keeping their times as excluded. The folder's lock holder does it:
// this program, or the collector that runs there, asked through a request file.
#pragma once

#include "activity_log/forget_range.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

struct ForgetOptions {
    TimeRange range;
    std::filesystem::path directory; // empty: the user's default log folder
    double waitSeconds = 30;         // for a running collector's answer
};

struct ParsedForget {
    std::optional<ForgetOptions> options; // none: exit with exitCode after printing the text
    int exitCode = 0;
    std::string out; // --help
    std::string err; // what was wrong
};

// ARGUMENTS come after "forget", in UTF-8. --last counts back from NOW_MS; --from and
// --to are local times by OFFSET_AT.
ParsedForget parseForgetOptions(const std::vector<std::string>& arguments, std::int64_t nowMs,
                                const std::function<std::int32_t(std::int64_t)>& offsetAt);

// 0 when the range is forgotten, or holds nothing to forget; 1 when some of it couldn't
// be (a file that can't be rewritten, no collector's answer in time, no log folder).
int runForget(const ForgetOptions& options);

} // namespace activity_log
