// Time per group, per state, and how much of the span the log covers.
#pragma once

#include "activity_report/classifier.h"
#include "activity_report/day_log.h"
#include "activity_report/presence.h"
#include "activity_report/report_options.h"
#include "activity_report/tags.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace report {

// An unrecorded spell between two recorded moments.
struct Gap {
    logformat::Timestamp from;
    logformat::Timestamp to;
};

// How far to trust a report. Where the logs of several machines overlap, each moment
// counts once, in the most present state any of them was in (active, then away, then
// no window, then unavailable), so the parts add up to the span.
struct Coverage {
    std::int64_t spanMs = 0;
    std::int64_t activeMs = 0;
    std::int64_t awayMs = 0; // idle and locked
    std::int64_t noWindowMs = 0;
    std::int64_t unavailableMs = 0;
    std::int64_t notRecordedMs = 0;
    std::int64_t gapsOverAMinute = 0;
    // Of the span, the time tags lie over, whatever was recorded there (each moment once).
    std::int64_t taggedMs = 0;
    // What a person asks of a span that began long before they switched on: when
    // recording began and ended (any state), and the unrecorded time between, in all
    // (exact), in gaps of a second or more, and the longest few of those, longest first.
    std::optional<logformat::Timestamp> firstRecorded{};
    std::optional<logformat::Timestamp> lastRecorded{};
    std::int64_t notRecordedBetweenMs = 0;
    std::int64_t gapsBetween = 0;
    std::array<Gap, 3> longestGaps{};
    std::size_t longestGapCount = 0;
};

struct Totals {
    GroupTimes activeByGroup;
    StateTotals byState{};
    Coverage coverage;
};

// The name an event's time is grouped under: a part of the event's own text, or of
// SCRATCH (for a category the table doesn't name).
std::string_view groupName(const logformat::LogEvent& event, GroupBy by, std::string& scratch);

// The folder of a document path ("C:/src/app/main.cpp" is "C:/src/app").
std::string_view folderOf(std::string_view url);

// A project path cut to its first DEPTH levels ("Work/Client A/Website" at 2 is
// "Work/Client A"); 0 keeps it whole.
std::string_view projectAtDepth(std::string_view path, int depth);

// How the report groups active time: the one way to name the group an event's time
// counts under, for every --by, the table, the page and the timesheet alike.
struct Grouper {
    GroupBy by = GroupBy::app;
    ProjectClassifier* projects = nullptr; // for GroupBy::project; none: all Uncategorised
    int depth = 0;                         // project paths cut to this many levels

    // The event's group: a part of the event's own text, of the rules, or of SCRATCH.
    std::string_view nameOf(const logformat::LogEvent& event, std::string& scratch) const;
    // The same for a piece of one, by the project it carries when it was classified as
    // it was read.
    std::string_view nameOf(const Piece& piece, std::string& scratch) const;
};

// Adds a day to running totals. Gaps that meet at midnight are one gap.
class TotalsBuilder {
  public:
    explicit TotalsBuilder(Grouper grouper) : grouper_(grouper) {}
    // The tags in effect, from every folder. By project, the time a tag lies over counts
    // under its label, once, whatever was recorded there, and the states and the other
    // groups keep the time no tag lies over; other groupings are as without tags.
    void useTags(std::vector<Tag> tags) { tags_ = std::move(tags); }
    // The day's own totals, also added to the running ones.
    Totals addDay(const Day& day);
    // The running totals, once every day is added.
    Totals finish();

  private:
    void gap(std::int64_t fromMs, std::int64_t toMs);

    Grouper grouper_;
    std::vector<Tag> tags_;
    std::vector<PresenceEdge> edges_; // the day's, kept from day to day
    Totals totals_;
    std::optional<std::int64_t> gapFrom_;
    std::int64_t gapTo_ = 0;
};

// A table row: a group, or with --include-away one of the other states.
struct Row {
    std::string name;
    std::int64_t ms = 0;
};

struct Table {
    std::vector<Row> rows; // largest first, then by name
    std::int64_t totalMs = 0;
};

// The name of a state's own row: "(idle)", "(locked)", "(no window)", "(unavailable)".
std::string stateRowName(logformat::ActivityState state);

Table tableOf(const Totals& totals, bool includeAway);

} // namespace report
