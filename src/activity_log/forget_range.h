// What forgetting a span of time does to the events of the log, apart from any file:
// which events it reaches and what is left of them.
#pragma once

#include "logformat/log_event.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace activity_log {

// From FROM_MS up to TO_MS, unix milliseconds.
struct TimeRange {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
};

// True when some of EVENT's time lies inside RANGE.
bool overlaps(const logformat::LogEvent& event, const TimeRange& range);

// An event whose text can still be forgotten: a window's, not yet excluded.
bool holdsText(const logformat::LogEvent& event);

// What is left of an event once its text is forgotten: what the collector records for a
// sample --exclude matches. Its times, state, application, executable, pid and category
// stay, so the time still counts, per application as before.
void forgetText(logformat::LogEvent& event);

// One piece of an event that the collector cut at a local midnight, forgotten: the
// piece on the other side of that midnight, in another day file (or current.json), is
// the same window's, and its text goes too.
struct Carry {
    logformat::LogEvent piece; // as it was before its text went
    bool forward = false;      // the other piece starts where this one ends
};

// The day whose file holds the other piece.
logformat::CivilDate dayOf(const Carry& carry);

// Forgets the text of the EVENTS that overlap RANGE or continue a piece in CARRIES;
// returns how many lost text, and appends to MORE a carry for each of those that ends or
// starts at a local midnight.
std::size_t forgetAmong(const std::vector<logformat::LogEvent*>& events, const TimeRange& range,
                        const std::vector<Carry>& carries, std::vector<Carry>& more);

} // namespace activity_log
