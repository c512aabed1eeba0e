// The report's outputs: a table for a terminal, CSV and JSON.
#pragma once

#include "activity_report/report_options.h"
#include "activity_report/totals.h"

#include <cstdint>
#include <string>

namespace report {

struct Summary {
    GroupBy by = GroupBy::app;
    bool includeAway = false;
    logformat::CivilDate first;
    logformat::CivilDate last;
    std::string rangeLabel; // with times of day, when the selection is cut; else the days
    Table table;
    StateTotals byState{};
    Coverage coverage;
};

Summary summaryOf(const ReportOptions& options, const Totals& totals);

// Numbers by integer arithmetic only, so that every build prints the same bytes.
std::string formatClock(std::int64_t ms);                         // h:mm:ss, to the nearest second
std::string formatSeconds(std::int64_t ms);                       // "1234.567"
std::string formatPercent(std::int64_t part, std::int64_t whole); // "45.2", to a tenth

// The selected days: "2026-12-07" or "2026-12-01 to 2026-12-07".
std::string daysLabel(const logformat::CivilDate& first, const logformat::CivilDate& last);

// The names of the states for people: "idle", "locked", "no window", "unavailable".
std::string stateLabel(logformat::ActivityState state);

// RAW as one CSV cell: control characters shown as U+FFFD, a leading formula character
// made harmless, quoted where it must be.
std::string csvField(std::string_view raw);

std::string renderText(const Summary& summary);
std::string renderCsv(const Summary& summary);
std::string renderJson(const Summary& summary, std::uint64_t skippedLines);

} // namespace report
