// The report's outputs: a table for a terminal, CSV and JSON.
#pragma once

#include "activity_report/report_options.h"
#include "activity_report/totals.h"

#include <cstdint>
#include <string>
#include <vector>

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
    int columns = 79; // the text table's width
};

Summary summaryOf(const ReportOptions& options, const Totals& totals);

// Numbers by integer arithmetic only, so that every build prints the same bytes.
std::string formatClock(std::int64_t ms);                         // h:mm:ss, to the nearest second
std::string formatSeconds(std::int64_t ms);                       // "1234.567"
std::string formatPercent(std::int64_t part, std::int64_t whole); // "45.2", to a tenth

// A moment on its own clock, to the second: "2026-12-07 09:05:30", or "09:05:30"
// without the date. AS_END: midnight is the day before's "24:00:00".
std::string formatMoment(const logformat::Timestamp& moment, bool withDate, bool asEnd = false);

// The coverage line's parts, each a phrase: when recording began and ended, the gaps
// between, the time in each state, the time tags lie over. Dates only when WITH_DATES
// (a selection of several days).
std::vector<std::string> coverageParts(const Coverage& coverage, bool withDates);

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
