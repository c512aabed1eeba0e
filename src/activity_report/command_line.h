// The report's options, read with CLI11.
#pragma once

#include "activity_report/report_options.h"

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

// ARGUMENTS as the program got them, its name first. TODAY is the local date the
// default selections end on; DEFAULT_DIRECTORY is the collector's folder.
CommandLine readCommandLine(const std::vector<std::string>& arguments,
                            const logformat::CivilDate& today,
                            const std::filesystem::path& defaultDirectory);

} // namespace report
