// The report's options, read with CLI11.
#pragma once

#include "activity_report/report_options.h"
#include "logformat/local_time.h"

#include <optional>
#include <string>
#include <vector>

namespace report {

struct CommandLine {
    std::optional<ReportOptions> options; // none: stop with EXIT_CODE
    int exitCode = 0;                     // 0 for --help, 2 for a bad command line
    std::string out;                      // the help text
    std::string err; // what was wrong; with options, a note on options that do nothing
};

// ARGUMENTS as the program got them, its name first. NOW is the moment the selections
// count from (its local date is today), OFFSET_AT the zone the local times typed are in;
// DEFAULT_DIRECTORY is the collector's folder.
CommandLine readCommandLine(const std::vector<std::string>& arguments,
                            const logformat::Timestamp& now, const logformat::OffsetAt& offsetAt,
                            const std::filesystem::path& defaultDirectory);

// When the selection lies wholly after NOW: what to say if nothing was recorded in it.
std::optional<std::string> stillToCome(const ReportOptions& options,
                                       const logformat::Timestamp& now);

} // namespace report
