// What the user asked the report for.
#pragma once

#include "activity_report/app_names.h"
#include "activity_report/day_spans.h"
#include "logformat/civil_time.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// project: by the user's rules (the rules file), as a path of levels "Work/Client A".
enum class GroupBy { app, category, doc, folder, title, project };
enum class OutputFormat { text, csv, json, timesheet };

// How --format timesheet makes hours of the time per project.
struct TimesheetOptions {
    int roundMinutes = 15;    // each day's hours per project, to the nearest, half up
    int minBlockMinutes = 0;  // blocks shorter than this are left out
    int mergeGapMinutes = 0;  // a project's runs this close are one block
    int dayStartsMinutes = 0; // a timesheet day runs from this local time to the next day's
};

std::string_view groupByName(GroupBy by);

struct ReportOptions {
    std::vector<std::filesystem::path> directories; // one per machine's log
    logformat::CivilDate first;                     // the selected days, inclusive
    logformat::CivilDate last;
    // --from and --to at a time of day: the first and last days are cut there (unix ms),
    // events and the day's span alike.
    std::optional<std::int64_t> cutFromMs;
    std::optional<std::int64_t> cutToMs;
    // The selection as a heading says it, when cut: "2026-12-08 14:30 to 2026-12-09 09:00".
    std::string rangeLabel;
    GroupBy by = GroupBy::app;
    bool includeAway = false;
    OutputFormat format = OutputFormat::text;
    std::optional<std::filesystem::path> htmlFile;
    // Days wholly inside the selection may be taken from the day summaries, and closed
    // days read from the log get one (not with --no-cache).
    bool useSummaries = false;
    std::filesystem::path cacheDirectory; // where summaries go when the log folder is read-only
    // The rules that name projects: --rules, else rules.toml in the user's config folder
    // (when there is one).
    std::optional<std::filesystem::path> rulesFile;
    int depth = 0; // project paths cut to their first DEPTH levels; 0 keeps them whole
    // The text fields the rules read (logformat::textField), once they are loaded: a
    // project grouping reads these and no others.
    unsigned ruleTextFields = 0;
    // The user's names and categories for programs ([[app]] in the rules file), given to
    // each event as it is read.
    AppNames apps;
    // A project grouping takes a day's totals from its summary only when the summary was
    // made under the same rules (RuleSet::digest), and never on a day a tag may lie on
    // (day numbers): a tag moves time between projects.
    std::string rulesDigest;
    DaySpans taggedDays;
    TimesheetOptions timesheet;
    // --untagged-away: list the spells away longer than this that no tag lies over, with
    // the command that tags each in TAG_DIRECTORY (the first --dir as given; empty for
    // the collector's folder).
    std::optional<int> untaggedAwayMinutes;
    std::string tagDirectory;
    // The text table's width in columns: --width, else the terminal's, else 79.
    std::optional<int> width; // --width
    int columns = 79;
};

} // namespace report
