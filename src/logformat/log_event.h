// One event of the activity log: a span of time in one state, with what the sampler
// said of the window. The collector writes these, one JSON line each; the report reads
// them. Text is UTF-8.
#pragma once

#include "logformat/timestamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logformat {

enum class ActivityState { active, idle, locked, none, unavailable };

std::string_view stateName(ActivityState state);
std::optional<ActivityState> stateFromName(std::string_view name);

struct LogEvent {
    Timestamp start;
    Timestamp end;
    ActivityState state = ActivityState::active;
    std::string title;
    std::string curatedTitle;
    std::string doc;
    std::string url;
    std::uint64_t pid = 0;
    std::string app;
    std::string exePath;
    std::int64_t category = 0;
};

constexpr std::int64_t durationMs(const LogEvent& event) {
    return event.end.unixMs - event.start.unixMs;
}

// The title of an event kept without its text: excluded as it was recorded, or forgotten
// since (activity-log forget).
inline constexpr std::string_view excludedTitle = "excluded";

// The same event, by what it is rather than how long it had run: an open event the
// collector kept in current.json and the line it appended when the event closed differ
// in their end, and in nothing that says which event it is. A forgotten event is still
// the one it was made of: a crash between the rewriting of a day file and of
// current.json leaves the text in one and `excluded` in the other.
inline bool sameEvent(const LogEvent& a, const LogEvent& b) {
    return a.start.unixMs == b.start.unixMs && a.state == b.state && a.pid == b.pid &&
           a.exePath == b.exePath &&
           (a.title == b.title || a.title == excludedTitle || b.title == excludedTitle);
}

// The event's line, keys in their fixed order, ending in LF. Text that isn't valid
// UTF-8 has each bad byte replaced by U+FFFD, so that every line is strict UTF-8.
std::string formatLogEvent(const LogEvent& event);

// TEXT as a JSON string, quotes included, appended to OUT: the escapes of the log's
// lines, and each byte that isn't valid UTF-8 replaced by U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

// An event from one line (its line end already removed), or nothing for a line that
// isn't a complete event: not strict JSON, not UTF-8, a key missing or of the wrong
// type, a bad timestamp or state. Keys it doesn't know are ignored.
std::optional<LogEvent> parseLogEvent(std::string_view line);

// The text fields of an event, for a reader that needs only some of them.
namespace textField {
inline constexpr unsigned title = 1u << 0;
inline constexpr unsigned curatedTitle = 1u << 1;
inline constexpr unsigned doc = 1u << 2;
inline constexpr unsigned url = 1u << 3;
inline constexpr unsigned app = 1u << 4;
inline constexpr unsigned exePath = 1u << 5;
inline constexpr unsigned all = (1u << 6) - 1;
} // namespace textField

// The same into EVENT, whose strings keep their storage from line to line: text fields
// outside KEEP are checked as ever but left empty. False for a line that isn't an event.
bool readLogEvent(std::string_view line, LogEvent& event, unsigned keep = textField::all);

} // namespace logformat
