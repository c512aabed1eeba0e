#include "logformat/civil_time.h"
#include "logformat/timestamp.h"

#include <gtest/gtest.h>

using namespace logformat;

TEST(CivilTime, DaysAndDatesAgreeOverFourCenturies) {
    CivilDate previous = civilFromDays(-150'000);
    for (std::int64_t days = -149'999; days < 150'000; ++days) {
        const CivilDate date = civilFromDays(days);
        ASSERT_EQ(daysFromCivil(date), days);
        ASSERT_LT(previous, date);
        previous = date;
    }
    EXPECT_EQ(daysFromCivil({1970, 1, 1}), 0);
    EXPECT_EQ(civilFromDays(daysFromCivil({2024, 2, 29}) + 1), (CivilDate{2024, 3, 1}));
}

TEST(CivilTime, DatesParseOnlyWhenTheyExist) {
    EXPECT_EQ(parseDate("2026-12-07"), (CivilDate{2026, 12, 7}));
    EXPECT_EQ(parseDate("2024-02-29"), (CivilDate{2024, 2, 29}));
    EXPECT_EQ(parseDate("2000-02-29"), (CivilDate{2000, 2, 29}));
    EXPECT_EQ(parseDate("2026-12-31"), (CivilDate{2026, 12, 31}));
    for (const char* bad : {"2026-02-29", "2100-02-29", "2026-06-31", "2026-12-32", "2024-01-32",
                            "2024-04-31", "2026-13-01", "2026-00-10", "2026-04-31", "2026-1-07",
                            "2026/12/07", "20261207", "2026-12-07 ", "", "2026-12-0x"}) {
        EXPECT_FALSE(parseDate(bad)) << bad;
    }
    EXPECT_EQ(formatDate({2026, 3, 9}), "2026-03-09");
}

TEST(CivilTime, TimestampsKeepTheirOffsetAndMillisecond) {
    struct Case {
        Timestamp moment;
        const char* text;
    };
    const Case cases[] = {
        {{1'796'633'902'123, 60}, "2026-12-07T09:58:22.123+01:00"},
        {{0, 0}, "1970-01-01T00:00:00.000+00:00"},
        {{-1, 0}, "1969-12-31T23:59:59.999+00:00"},
        {{1'796'633'902'123, -210}, "2026-12-07T05:28:22.123-03:30"},
        {{1'796'633'902'123, 345}, "2026-12-07T14:43:22.123+05:45"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatTimestamp(c.moment), c.text);
        EXPECT_EQ(parseTimestamp(c.text), c.moment) << c.text;
    }
    EXPECT_EQ(parseTimestamp("2026-12-07T08:58:22.123Z"), (Timestamp{1'796'633'902'123, 0}));
    for (const char* bad :
         {"2026-12-07T09:58:22+01:00", "2026-12-07T24:00:00.000+00:00", "2026-12-07T09:58:22.123",
          "2026-12-07T09:58:22.123+0100", "2026-12-07 09:58:22.123+01:00"}) {
        EXPECT_FALSE(parseTimestamp(bad)) << bad;
    }
    EXPECT_EQ(localDate({1'796'633'902'123, -600}), (CivilDate{2026, 12, 6}));
}

TEST(CivilTime, LocalMidnightFollowsTheOffsetRule) {
    // A zone at +01:00 that moves to +02:00 at 2026-03-29T01:00Z, and one whose clocks
    // skip from 23:59:59 to 01:00 at the start of 2026-09-06.
    const std::int64_t springForward = 1'774'746'000'000;
    const auto europe = [&](std::int64_t unixMs) { return unixMs < springForward ? 60 : 120; };
    EXPECT_EQ(formatTimestamp({localMidnight({2026, 3, 29}, europe), 60}),
              "2026-03-29T00:00:00.000+01:00");
    EXPECT_EQ(formatTimestamp({localMidnight({2026, 3, 30}, europe), 120}),
              "2026-03-30T00:00:00.000+02:00");

    const std::int64_t skip = daysFromCivil({2026, 9, 6}) * millisecondsPerDay - 3 * 3'600'000;
    const auto skipping = [&](std::int64_t unixMs) { return unixMs < skip ? 180 : 240; };
    const std::int64_t first = localMidnight({2026, 9, 6}, skipping);
    EXPECT_EQ(formatTimestamp({first, skipping(first)}), "2026-09-06T01:00:00.000+04:00");
}

TEST(CivilTime, NextMidnightByTheEventsOwnOffsets) {
    struct Case {
        const char* what;
        const char* start;
        const char* end;
        const char* midnight; // nullptr: the event stays on its first day
    };
    const Case cases[] = {
        {"one offset", "2026-03-09T23:50:00.000+01:00", "2026-03-10T00:20:00.000+01:00",
         "2026-03-10T00:00:00.000+01:00"},
        {"a quarter past the hour", "2026-03-11T23:30:00.000+05:45",
         "2026-03-12T00:15:00.000+05:45", "2026-03-12T00:00:00.000+05:45"},
        {"ends at its midnight", "2026-03-09T23:50:00.000+01:00", "2026-03-10T00:00:00.000+01:00",
         nullptr},
        {"a 25-hour day, whole", "2026-11-01T00:00:00.000-04:00", "2026-11-02T00:00:00.000-05:00",
         nullptr},
        {"midnight before the clocks go back", "2026-10-31T23:00:00.000-04:00",
         "2026-11-01T03:00:00.000-05:00", "2026-11-01T00:00:00.000-04:00"},
        {"midnight before the clocks go forward", "2026-03-07T23:00:00.000-05:00",
         "2026-03-08T04:00:00.000-04:00", "2026-03-08T00:00:00.000-05:00"},
        {"forward before midnight", "2026-03-07T22:00:00.000-05:00",
         "2026-03-08T00:30:00.000-04:00", "2026-03-08T00:00:00.000-04:00"},
        {"the clock set back across midnight", "2026-04-04T23:50:00.000-03:00",
         "2026-04-04T23:10:00.000-04:00", nullptr},
        {"half an hour forward", "2026-10-03T23:00:00.000+10:30", "2026-10-04T03:00:00.000+11:00",
         "2026-10-04T00:00:00.000+10:30"},
    };
    for (const Case& c : cases) {
        const auto midnight = nextMidnight(*parseTimestamp(c.start), *parseTimestamp(c.end));
        if (c.midnight == nullptr) {
            EXPECT_FALSE(midnight) << c.what << ": " << formatTimestamp(*midnight);
        } else {
            ASSERT_TRUE(midnight) << c.what;
            EXPECT_EQ(formatTimestamp(*midnight), c.midnight) << c.what;
        }
    }

    // By a zone's own rule, as the collector cuts: clocks that go back from 00:00 to
    // 23:00 pass midnight twice, and the day ends at the second.
    const std::int64_t back = parseTimestamp("2026-04-05T00:00:00.000-03:00")->unixMs;
    const auto goingBack = [back](std::int64_t unixMs) { return unixMs < back ? -180 : -240; };
    const Timestamp start = *parseTimestamp("2026-04-04T23:59:55.000-03:00");
    EXPECT_FALSE(nextMidnight(start, Timestamp{back + 5000, -240}, goingBack)); // 23:00:05
    const auto second = nextMidnight(start, Timestamp{back + 3'605'000, -240}, goingBack);
    ASSERT_TRUE(second);
    EXPECT_EQ(formatTimestamp(*second), "2026-04-05T00:00:00.000-04:00");
}

// Days as people name them, from one "today": words, days back, and dates without
// leading zeros; what is not a day is refused.
TEST(CivilTime, DaysAsPeopleNameThem) {
    const CivilDate today{2026, 3, 1};
    const std::pair<const char*, std::optional<CivilDate>> cases[] = {
        {"today", today},
        {"yesterday", CivilDate{2026, 2, 28}},
        {"-1", CivilDate{2026, 2, 28}},
        {"-0", today},
        {"-366", CivilDate{2025, 2, 28}},
        {"2026-12-8", CivilDate{2026, 12, 8}},
        {"2026-1-08", CivilDate{2026, 1, 8}},
        {"2024-2-29", CivilDate{2024, 2, 29}},
        {"2026-2-29", std::nullopt},
        {"2026-12-", std::nullopt},
        {"2026-123-1", std::nullopt},
        {"26-12-8", std::nullopt},
        {"-", std::nullopt},
        {"-100001", std::nullopt},
        {"+1", std::nullopt},
        {"Yesterday ", std::nullopt},
    };
    for (const auto& [text, date] : cases) {
        EXPECT_EQ(parseDay(text, today), date) << text;
    }
    // Weekdays across a year's end: 2026-12-28 is a Monday, 2027-01-03 a Sunday.
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(daysSinceMonday(civilFromDays(daysFromCivil({2026, 12, 28}) + i)), i);
    }
    EXPECT_EQ(daysSinceMonday({1970, 1, 1}), 3);
    EXPECT_EQ(daysSinceMonday({1969, 12, 29}), 0);
}
