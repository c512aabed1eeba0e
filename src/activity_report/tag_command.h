// activity-report tag: labels time after the fact, lists the tags, removes one.
#pragma once

#include "activity_report/day_log.h"
#include "activity_report/run_report.h"

#include <filesystem>
#include <string>
#include <vector>

namespace report {

// ARGUMENTS as the program got them, the program's name first and "tag" left out;
// DEFAULT_DIRECTORY is the collector's folder. Returns the exit status: 0; 1 for a
// folder that isn't there or a file that can't be read or written; 2 for a bad
// command line, a bad time or label, or an id no tag has.
int runTagCommand(const std::vector<std::string>& arguments, const Clock& clock,
                  const std::filesystem::path& defaultDirectory, RunOutput& output);

} // namespace report
