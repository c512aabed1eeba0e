// The log as a sequence of local days: each selected day with the parts of the events
// that fall on it, from every folder, the open events included.
#pragma once

#include "activity_report/classifier.h"
#include "activity_report/day_summary.h"
#include "activity_report/report_options.h"
#include "logformat/log_event.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace report {

// One event's part within one local day, [fromMs, toMs), with the local offsets in
// effect at its two ends.
struct Piece {
    logformat::LogEvent event;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::size_t source = 0; // which folder it came from
    std::int32_t fromOffset = 0;
    std::int32_t toOffset = 0;
    // An active event's project, when the rules were applied as it was read (its text
    // then left behind): the classifier's own string. Null data when not applied.
    std::string_view project;
};

// The day's local clock from FROM_MS on: local time minus UTC, in minutes.
struct LocalOffset {
    std::int64_t fromMs = 0;
    std::int32_t minutes = 0;
    friend bool operator==(const LocalOffset&, const LocalOffset&) = default;
};

struct Day {
    logformat::CivilDate date;
    // The day's span: local midnight to midnight, or to now for today; empty for a day
    // still to come. A --from or --to at a time of day cuts it there, and the pieces too.
    std::int64_t spanStartMs = 0;
    std::int64_t spanEndMs = 0;
    std::int64_t midnightBeforeMs = 0; // the day's start, even when cut
    std::int64_t midnightAfterMs = 0;  // the day's end, even while it runs
    std::vector<Piece> pieces;         // in order of their start
    // The folders' day files taken from their summaries instead, with the list of the
    // report's --by.
    std::vector<DaySummary> summaries;
    // How the day's clock reads: its offset at the start, then each change (a 23- or
    // 25-hour day has one).
    std::vector<LocalOffset> offsets;
};

// The moment the report runs and the system's time-zone rule (unix ms to local minus
// UTC, in minutes): from the platform in the program, fixed in tests.
struct Clock {
    std::int64_t nowMs = 0;
    std::function<std::int32_t(std::int64_t)> offsetAt;
};

struct ReadCounts {
    std::uint64_t skippedLines = 0;    // not an event: unparsable, truncated, not UTF-8
    std::uint64_t misplacedEvents = 0; // in a day file after the day they belong to
    // Running on past the midnight after the one they cross: never written by the
    // collector, and a report of their last day alone couldn't find them.
    std::uint64_t overlongEvents = 0;
    bool summariesUnwritable = false; // neither the log folder nor the cache took one
};

// Local day number (days since 1970-01-01) of a moment at a given offset.
std::int64_t localDayNumber(std::int64_t unixMs, std::int32_t offsetMinutes);

// Splits EVENT at the local midnights it crosses, by the offsets its own start and end
// carry, into pieces on the days FIRST_DAY..LAST_DAY (day numbers); parts outside are
// dropped.
std::vector<Piece> splitIntoDays(logformat::LogEvent event, std::int64_t firstDay,
                                 std::int64_t lastDay);
// The same, appending the pieces to OUT.
void splitIntoDays(logformat::LogEvent event, std::int64_t firstDay, std::int64_t lastDay,
                   std::vector<Piece>& out);

// The text fields of the events that the report asked for needs (logformat::textField).
unsigned textFieldsFor(const ReportOptions& options);

// Reads the selected days in order and hands each to ON_DAY, holding no more than a
// day's events at a time. Missing files and folders are no data.
void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                const std::function<void(Day&)>& onDay);
// The same, and with PROJECTS each active piece carries its project, found as its event
// is read; unless the page needs it, the pieces then carry no text.
void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                ProjectClassifier* projects, const std::function<void(Day&)>& onDay);

} // namespace report
