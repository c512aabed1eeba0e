// The page's time axis: the recorded hours it spans and the hours its clock shows, on
// ordinary days, days the clocks change, and in zones a half or quarter hour off.
#include "activity_report/day_axis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace report;

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;
constexpr std::int64_t minute = 60'000;
constexpr std::int64_t hour = 60 * minute;

// A day of LENGTH_MS from local midnight (MIDNIGHT_UTC) through its clock changes, with pieces at
// the given UTC moments.
Day dayOf(std::int64_t midnightUtc, std::int64_t lengthMs, std::vector<LocalOffset> offsets,
          std::vector<std::pair<std::int64_t, std::int64_t>> pieces) {
    Day day;
    day.spanStartMs = midnightUtc;
    day.spanEndMs = day.midnightAfterMs = midnightUtc + lengthMs;
    day.offsets = std::move(offsets);
    for (const auto& [from, to] : pieces) {
        Piece piece;
        piece.fromMs = from;
        piece.toMs = to;
        day.pieces.push_back(piece);
    }
    return day;
}

std::vector<std::string> labels(const std::vector<HourTick>& ticks) {
    std::vector<std::string> out;
    for (const HourTick& tick : ticks) {
        out.push_back(tick.label);
    }
    return out;
}

} // namespace

TEST(DayAxis, RecordedHoursRoundOutOnTheDaysOwnClock) {
    // 2026-03-12 in Berlin (+01:00) starts at 2026-03-11T23:00Z.
    const std::int64_t berlin = 1'773'270'000'000;
    // New York 2026-11-01: -04:00 until 06:00Z, then -05:00; a 25-hour day.
    const std::int64_t fallBack = 1'793'505'600'000;
    const std::vector<LocalOffset> fallOffsets = {{fallBack, -240}, {fallBack + 2 * hour, -300}};
    // New York 2026-03-08: -05:00 until 07:00Z, then -04:00; a 23-hour day.
    const std::int64_t springForward = 1'772'946'000'000;
    const std::vector<LocalOffset> springOffsets = {{springForward, -300},
                                                    {springForward + 2 * hour, -240}};
    // Lord Howe 2026-04-05: +11:00 until 02:00 local (15:00Z), then +10:30; 24.5 hours.
    const std::int64_t lordHowe = 1'775'307'600'000;
    const std::vector<LocalOffset> howeOffsets = {{lordHowe, 660}, {lordHowe + 2 * hour, 630}};
    // Kathmandu (+05:45) 2026-03-11 starts at 2026-03-10T18:15Z.
    const std::int64_t kathmandu = 1'773'166'500'000;

    struct Case {
        const char* what;
        Day day;
        AxisRange range; // relative to the day's start
        std::vector<std::string> hours;
    };
    const Case cases[] = {
        {"a 3.5-hour morning: 09 to 13",
         dayOf(berlin, 24 * hour, {{berlin, 60}},
               {{berlin + 9 * hour, berlin + 12 * hour + 30 * minute}}),
         {9 * hour, 13 * hour},
         {"09", "10", "11", "12", "13"}},
        {"starts and ends off the hour, pieces out of order",
         dayOf(berlin, 24 * hour, {{berlin, 60}},
               {{berlin + 14 * hour, berlin + 14 * hour + 5 * minute},
                {berlin + 9 * hour + 10 * minute, berlin + 9 * hour + 20 * minute}}),
         {9 * hour, 15 * hour},
         {"09", "10", "11", "12", "13", "14", "15"}},
        {"a moment before midnight: the day's last hour, to 24",
         dayOf(berlin, 24 * hour, {{berlin, 60}},
               {{berlin + 23 * hour + 59 * minute, berlin + 23 * hour + 59 * minute}}),
         {23 * hour, 24 * hour},
         {"23", "24"}},
        {"the whole day",
         dayOf(berlin, 24 * hour, {{berlin, 60}}, {{berlin - hour, berlin + 25 * hour}}),
         {0, 24 * hour},
         {"00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11", "12",
          "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24"}},
        {"clocks go back: 00:40 EDT to 01:20 EST reads 00, 01, 01, 02",
         dayOf(fallBack, 25 * hour, fallOffsets,
               {{fallBack + 40 * minute, fallBack + 2 * hour + 20 * minute}}),
         {0, 3 * hour},
         {"00", "01", "01", "02"}},
        {"clocks go back: within the first 01, up to the change",
         dayOf(fallBack, 25 * hour, fallOffsets,
               {{fallBack + hour + 10 * minute, fallBack + hour + 30 * minute}}),
         {hour, 2 * hour},
         {"01", "01"}},
        {"clocks go forward: 01:30 EST to 03:30 EDT reads 01, 03, 04",
         dayOf(springForward, 23 * hour, springOffsets,
               {{springForward + hour + 30 * minute, springForward + 2 * hour + 30 * minute}}),
         {hour, 3 * hour},
         {"01", "03", "04"}},
        {"Lord Howe goes back half an hour: 01:20 to 01:50 (second) reads 01, 02",
         dayOf(lordHowe, 24 * hour + 30 * minute, howeOffsets,
               {{lordHowe + hour + 20 * minute, lordHowe + 2 * hour + 20 * minute}}),
         {hour, 2 * hour + 30 * minute},
         {"01", "02"}},
        {"Lord Howe: ending on the change, at 02:00 by the clock that ran to it",
         dayOf(lordHowe, 24 * hour + 30 * minute, howeOffsets,
               {{lordHowe + hour + 20 * minute, lordHowe + 2 * hour}}),
         {hour, 2 * hour},
         {"01", "02"}},
        {"clocks go forward: ending on the change, which reads 03",
         dayOf(springForward, 23 * hour, springOffsets,
               {{springForward + hour + 30 * minute, springForward + 2 * hour}}),
         {hour, 2 * hour},
         {"01", "03"}},
        {"Kathmandu: hours a quarter past UTC's",
         dayOf(kathmandu, 24 * hour, {{kathmandu, 345}},
               {{kathmandu + 9 * hour + 10 * minute, kathmandu + 12 * hour + 30 * minute}}),
         {9 * hour, 13 * hour},
         {"09", "10", "11", "12", "13"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto part = recordedPart(c.day);
        ASSERT_TRUE(part.has_value());
        const AxisRange range = recordedHours(c.day, part->fromMs, part->toMs);
        EXPECT_EQ(range.fromMs - c.day.spanStartMs, c.range.fromMs);
        EXPECT_EQ(range.toMs - c.day.spanStartMs, c.range.toMs);
        const std::vector<HourTick> ticks = hourTicks(c.day, range);
        EXPECT_EQ(labels(ticks), c.hours);
        ASSERT_FALSE(ticks.empty());
        EXPECT_EQ(ticks.front().atMs, range.fromMs);
        EXPECT_EQ(ticks.back().atMs, range.toMs);
        for (std::size_t i = 1; i < ticks.size(); ++i) {
            EXPECT_GT(ticks[i].atMs, ticks[i - 1].atMs);
        }
    }
    EXPECT_FALSE(recordedPart(dayOf(berlin, 24 * hour, {{berlin, 60}}, {})).has_value());
}

TEST(DayAxis, TheRecordedMorningIsTheSameReadFromAnotherZone) {
    // The morning log carries +01:00; read by a clock in New York, its hours are still
    // Berlin's 09 to 13.
    const Clock newYork{1'800'000'000'000, [](std::int64_t) { return -300; }};
    ReportOptions options;
    options.directories = {logs / "morning"};
    options.first = options.last = {2026, 3, 12};
    ReadCounts counts;
    std::vector<std::string> hours;
    forEachDay(options, newYork, counts, [&](const Day& day) {
        const auto part = recordedPart(day);
        ASSERT_TRUE(part.has_value());
        hours = labels(hourTicks(day, recordedHours(day, part->fromMs, part->toMs)));
    });
    EXPECT_EQ(hours, (std::vector<std::string>{"09", "10", "11", "12", "13"}));
}
