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
    for (const char* bad :
         {"2026-02-29", "2100-02-29", "2026-06-31", "2026-12-32", "2026-13-01", "2026-00-10",
          "2026-04-31", "2026-1-07", "2026/12/07", "20261207", "2026-12-07 ", "", "2026-12-0x"}) {
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
