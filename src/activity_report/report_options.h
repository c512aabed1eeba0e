// What the user asked the report for.
#pragma once

#include "logformat/civil_time.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace report {

enum class GroupBy { app, category, doc, folder, title };
enum class OutputFormat { text, csv, json };

std::string_view groupByName(GroupBy by);

struct ReportOptions {
    std::vector<std::filesystem::path> directories; // one per machine's log
    logformat::CivilDate first;                     // the selected days, inclusive
    logformat::CivilDate last;
    GroupBy by = GroupBy::app;
    bool includeAway = false;
    OutputFormat format = OutputFormat::text;
    std::optional<std::filesystem::path> htmlFile;
};

} // namespace report
