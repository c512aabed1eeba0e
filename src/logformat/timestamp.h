// A moment as the log writes it: local time with its offset from UTC, to the
// millisecond, "2026-12-07T09:58:22.123+01:00".
#pragma once

#include "logformat/civil_time.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logformat {

struct Timestamp {
    std::int64_t unixMs = 0;        // milliseconds since 1970-01-01T00:00:00Z
    std::int32_t offsetMinutes = 0; // local time minus UTC, at that moment
    friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

std::string formatTimestamp(const Timestamp& moment);
// Exactly the shape formatTimestamp writes ("Z" is taken for +00:00 too).
std::optional<Timestamp> parseTimestamp(std::string_view text);

// The local calendar day the moment falls on, by its own offset.
CivilDate localDate(const Timestamp& moment);

// Local midnight at the start of DATE, as a moment, given the platform's offset rule
// (offsetAt: unix milliseconds to local minus UTC, in minutes). Where midnight doesn't
// exist (a zone that springs forward at 00:00) it is the first local moment of the day.
template <typename OffsetAt>
std::int64_t localMidnight(const CivilDate& date, const OffsetAt& offsetAt) {
    const std::int64_t local = daysFromCivil(date) * millisecondsPerDay;
    std::int64_t guess = local - std::int64_t{offsetAt(local)} * 60'000;
    // Two refinements settle any offset change near midnight.
    for (int i = 0; i < 2; ++i) {
        guess = local - std::int64_t{offsetAt(guess)} * 60'000;
    }
    // A skipped midnight: step to where the new day's first moment lies.
    while (floorDiv(guess + std::int64_t{offsetAt(guess)} * 60'000, millisecondsPerDay) <
           daysFromCivil(date)) {
        guess += 60'000;
    }
    return guess;
}

// Where a span from START to END leaves the local day it starts on: the first local
// midnight after START and before END, with the offset in effect there by OFFSET_AT.
// Nothing when the span ends on its first day (or at its midnight).
template <typename OffsetAt>
std::optional<Timestamp> nextMidnight(const Timestamp& start, const Timestamp& end,
                                      const OffsetAt& offsetAt) {
    const CivilDate first = localDate(start);
    if (localDate(end) <= first) {
        return std::nullopt;
    }
    const CivilDate next = civilFromDays(daysFromCivil(first) + 1);
    const std::int64_t midnight = localMidnight(next, offsetAt);
    if (midnight <= start.unixMs || midnight >= end.unixMs) {
        return std::nullopt;
    }
    return Timestamp{midnight, offsetAt(midnight)};
}

// The same for an event of the log, whose offset is known only at its two ends. The
// clocks change in the small hours: a midnight is at the start's offset when that puts
// it inside the event, else at the end's. An event that ends on its first day by its
// end's own clock (a 25-hour day's, or one the clock set back across midnight) is not cut.
std::optional<Timestamp> nextMidnight(const Timestamp& start, const Timestamp& end);

} // namespace logformat
