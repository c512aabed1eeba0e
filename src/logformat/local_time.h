// A moment as a person types it on the command line, on the machine's clock, and back:
// what `activity-report tag` and `activity-log forget` both read. The zone is the
// platform's, through OFFSET_AT (unix milliseconds to local minus UTC, in minutes).
#pragma once

#include "logformat/timestamp.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace logformat {

using OffsetAt = std::function<std::int32_t(std::int64_t)>;

// "2026-12-07 10:05", with seconds and milliseconds if wanted ("10:05:30.250"), a "T" for
// the space, and an offset ("+01:00", "Z") that says which moment is meant. The month,
// the day and the hour may have one digit ("2026-12-7 9:05"). A bare time ("10:05") is on
// DEFAULT_DAY, when there is one.
//
// Without an offset a local time is the first moment the clock reads it: in the hour the
// clocks repeat, its first occurrence (an offset picks the second); in the hour they
// skip, which the clock never reads, the moment they jump past it (02:30 on a night
// that goes from 02:00 to 03:00 is 03:00). So a range between two local times holds
// every moment the clock read between them, and nothing else.
struct LocalTimeParse {
    std::optional<Timestamp> moment; // at the machine's own offset then, as the log keeps it
    bool skipped = false;            // the clocks skipped the time given
    std::string problem;             // when there is no moment
};
LocalTimeParse parseLocalTime(std::string_view text, const OffsetAt& offsetAt,
                              const std::optional<CivilDate>& defaultDay = std::nullopt);

// UNIX_MS as parseLocalTime reads it back exactly: "2026-12-07 10:05", the seconds and
// milliseconds only when not zero, the offset only in the hour the clocks repeat.
std::string formatLocalTime(std::int64_t unixMs, const OffsetAt& offsetAt);

// Offsets of real zones lie within this of UTC, either way.
constexpr std::int32_t maxOffsetMinutes = 14 * 60;

} // namespace logformat
