// A day's time axis on the page: which hours it spans and the ticks its clock shows.
#pragma once

#include "activity_report/day_log.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace report {

// The stretch of a day the timeline draws, [fromMs, toMs).
struct AxisRange {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    friend bool operator==(const AxisRange&, const AxisRange&) = default;
};

// The local clock's offset in minutes at MS on DAY.
std::int32_t offsetOn(const Day& day, std::int64_t ms);

// FIRST_MS to LAST_MS rounded out to whole hours of the day's own clock, within the
// day: a morning recorded from 09:10 to 12:30 is drawn from 09 to 13. At least an hour.
AxisRange recordedHours(const Day& day, std::int64_t firstMs, std::int64_t lastMs);

// From the start of the day's first piece to the end of its last, whatever their
// state; none for a day with no events.
std::optional<AxisRange> recordedPart(const Day& day);

// The hours on a day's axis as its clock shows them: on the day the clocks go back an
// hour, 01 comes twice; on the day they go forward, 02 never comes. The day's end is 24.
struct HourTick {
    std::int64_t atMs = 0;
    std::string label;
    friend bool operator==(const HourTick&, const HourTick&) = default;
};
// The ticks from RANGE's start to its end, both included.
std::vector<HourTick> hourTicks(const Day& day, AxisRange range);
// The whole day's.
std::vector<HourTick> hourTicks(const Day& day);

} // namespace report
