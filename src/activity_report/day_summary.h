// A day file's totals, kept beside the log so that a long selection needn't read every
// day again: the time every --by and every state needs, and the spans of presence the
// coverage line is made of. Made only of a file whose events all lie on its own day.
#pragma once

#include "activity_report/report_options.h"
#include "logformat/log_event.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace report {

// Per state, indexed by ActivityState. Group and state times are each event's own time,
// so machines used side by side both count.
using StateTotals = std::array<std::int64_t, 5>;

// Looked up by the event's own text, without a string made for it.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};
using GroupTimes = std::unordered_map<std::string, std::int64_t, TextHash, std::equal_to<>>;

// Adds MS to NAME's time.
void addTime(GroupTimes& times, std::string_view name, std::int64_t ms);

// How present the user was: 4 active, 3 away (idle, locked), 2 no window, 1 unavailable.
int presenceOf(logformat::ActivityState state);

struct PresenceSpan {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    int presence = 0;
    friend bool operator==(const PresenceSpan&, const PresenceSpan&) = default;
};

// The fixed groupings, the values of GroupBy before project. Projects come from rules
// that may change at any time: a summary keeps them with the rules they came from.
inline constexpr std::size_t groupingCount = 5;

// What a summary was made of: its day file's size and modification time.
struct SourceStamp {
    std::uintmax_t size = 0;
    std::int64_t time = 0;
    friend bool operator==(const SourceStamp&, const SourceStamp&) = default;
};

struct DaySummary {
    SourceStamp source;
    std::uint64_t skippedLines = 0;
    // The file's first moment and its last, with their offsets; none for a file
    // without events.
    std::optional<logformat::Timestamp> first;
    std::optional<logformat::Timestamp> last;
    StateTotals byState{};
    std::vector<PresenceSpan> presence; // in order, touching spans of one presence joined
    // Active time per group, a list per GroupBy; one read back holds the one asked for.
    std::array<std::vector<std::pair<std::string, std::int64_t>>, groupingCount> groups;
    // Active time per full project path under the rules of this digest; no digest: none.
    std::string rulesDigest;
    std::vector<std::pair<std::string, std::int64_t>> projects;
};

// Builds the summary of day file DAY (a day number) from its events, in file order.
class SummaryBuilder {
  public:
    // RULES_DIGEST: the rules the events' projects come from, when they do.
    explicit SummaryBuilder(std::int64_t day, std::string rulesDigest = {})
        : day_(day), rulesDigest_(std::move(rulesDigest)) {}
    // PROJECT: the event's, when the builder has rules.
    void add(const logformat::LogEvent& event, std::string_view project = {});
    // False once an event lay outside the file's day: such a file is always read.
    bool selfContained() const { return selfContained_; }
    DaySummary finish(const SourceStamp& source, std::uint64_t skippedLines);

  private:
    std::int64_t day_;
    std::string rulesDigest_;
    bool selfContained_ = true;
    DaySummary summary_;
    std::array<GroupTimes, groupingCount> groups_;
    GroupTimes projects_;
};

// The summary's file: a header line, then the projects' line (when it has one) and a
// line per fixed GroupBy, so that a reader parses the header and the one list it needs.
// Version 2: category 0 is called "Other" (it was "App"), so older summaries are made
// again.
inline constexpr int summaryVersion = 2;
std::string formatSummary(const DaySummary& summary);

using GroupList = std::vector<std::pair<std::string, std::int64_t>>;

// Where each GroupBy's list lies, and the projects' list in a summary that has one,
// counted from the end of the header line.
struct SummaryHeader {
    DaySummary summary; // its groups and projects empty
    std::array<std::pair<std::size_t, std::size_t>, groupingCount> sections{};
    std::optional<std::pair<std::size_t, std::size_t>> projectSection;
};
// Nothing for a line that isn't a header of this version.
std::optional<SummaryHeader> parseSummaryHeader(std::string_view line);
// True when HEADER's lists lie as formatSummary puts them in the BODY_SIZE bytes after
// its line: the projects' first, then the fixed groupings', each where the one before
// ends, the last where the file does. A header that says otherwise is damaged.
bool sectionsFit(const SummaryHeader& header, std::uint64_t bodySize);
std::optional<GroupList> parseSummaryGroups(std::string_view text);

} // namespace report
