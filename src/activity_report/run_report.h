// One run of the report, from the command line to its outputs.
#pragma once

#include "activity_report/day_log.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace report {

struct RunOutput {
    std::string out;
    std::string err;
};

// Reads the command line, the rules, the log and writes the --html page; returns the exit
// status (0; 1 for a missing folder or a file that can't be written; 2 for a bad command
// line or rules file; 3 for days still to come with nothing recorded) with what goes to standard
// output and error. DEFAULT_RULES is the rules file used when --rules names none (empty: none),
// which needn't exist. TERMINAL_COLUMNS is the width of the terminal the text goes to (none:
// not a terminal, and the table keeps 79 columns, so that scripts read the same lines).
int runReport(const std::vector<std::string>& arguments, const Clock& clock,
              const std::filesystem::path& defaultDirectory, RunOutput& output,
              const std::filesystem::path& defaultRules = {},
              std::optional<int> terminalColumns = std::nullopt);

} // namespace report
