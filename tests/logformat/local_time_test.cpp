// Local times as the commands read them from the command line, and write them back.
#include "logformat/local_time.h"

#include "clock_changes.h"

#include <gtest/gtest.h>

#include <string>

using namespace logformat;
using test_support::newYork;

TEST(LocalTime, TheFirstMomentTheClockReadsIt) {
    for (const auto& c : test_support::clockChanges) {
        SCOPED_TRACE(c.what);
        const LocalTimeParse parsed = parseLocalTime(c.text, newYork);
        ASSERT_TRUE(parsed.moment) << c.text << ": " << parsed.problem;
        EXPECT_EQ(parsed.moment->unixMs, c.unixMs) << c.text;
        EXPECT_EQ(parsed.moment->offsetMinutes, newYork(c.unixMs)) << c.text;
        EXPECT_EQ(parsed.skipped, std::string(c.text) == "2026-03-08 02:30");
    }
    // A moment a millisecond either side of the jump: the clock reads before and after.
    EXPECT_EQ(parseLocalTime("2026-03-08 01:59:59.999", newYork).moment->unixMs,
              1'772'953'200'000 - 1);
    EXPECT_EQ(parseLocalTime("2026-03-08 03:00", newYork).moment->unixMs, 1'772'953'200'000);
}

TEST(LocalTime, OtherShapesAndWhatIsRefused) {
    struct Case {
        std::string text;
        std::int64_t unixMs; // 0: refused
        std::string problem;
    };
    const Case cases[] = {
        {"2026-03-08T03:30", 1'772'955'000'000, ""},
        {"2026-03-08 03:30:05.25", 1'772'955'005'250, ""},
        {"2026-11-01 06:30Z", 1'793'514'600'000, ""},
        {"2026-11-01 20:30+14:00", 1'793'514'600'000, ""},
        {"2026-10-31 16:30-14:00", 1'793'514'600'000, ""},
        {"2026-11-01 12:15+05:45", 1'793'514'600'000, ""},
        {"2026-11-01", 0, "not a time"},
        // As people type them: no leading zeros.
        {"2026-3-8 3:30", 1'772'955'000'000, ""},
        {"2026-03-8T3:30:05.25", 1'772'955'005'250, ""},
        {"2026-11-01 123:00", 0, "not a time"},
        {"10:00", 0, "not a time"},
        {"2026-11-01 24:00", 0, "not a time"},
        {"2026-02-30 10:00", 0, "not a time"},
        {"2026-11-01 10:00:60", 0, "not a time"},
        {"2026-11-01 10:00:00.1234", 0, "not a time"},
        {"2026-11-01 10:00 ", 0, "not an offset"},
        {"2026-11-01 10:00+5", 0, "not an offset"},
        {"2026-11-01 10:00+05:60", 0, "not an offset"},
        {"2026-11-01 10:00+0100", 0, "not an offset"},
        // No zone is this far from UTC: four days off, and never meant.
        {"2026-11-01 10:00+99:00", 0, "no time zone is +99:00 from UTC"},
        {"2026-11-01 10:00+14:01", 0, "between -14:00 and +14:00"},
        {"2026-11-01 10:00-15:00", 0, "between -14:00 and +14:00"},
    };
    for (const Case& c : cases) {
        const LocalTimeParse parsed = parseLocalTime(c.text, newYork);
        if (c.unixMs == 0) {
            EXPECT_FALSE(parsed.moment) << c.text;
            EXPECT_NE(parsed.problem.find(c.problem), std::string::npos) << parsed.problem;
            continue;
        }
        ASSERT_TRUE(parsed.moment) << c.text << ": " << parsed.problem;
        EXPECT_EQ(parsed.moment->unixMs, c.unixMs) << c.text;
        // Kept at the machine's offset, whatever offset was typed.
        EXPECT_EQ(parsed.moment->offsetMinutes, newYork(c.unixMs)) << c.text;
    }
}

TEST(LocalTime, WrittenBackItReadsAsTheSameMoment) {
    for (const auto& c : test_support::clockChanges) {
        const std::string written = formatLocalTime(c.unixMs, newYork);
        EXPECT_EQ(parseLocalTime(written, newYork).moment->unixMs, c.unixMs) << written;
    }
    EXPECT_EQ(formatLocalTime(1'793'511'000'000, newYork), "2026-11-01 01:30");
    EXPECT_EQ(formatLocalTime(1'793'514'600'000, newYork), "2026-11-01 01:30-05:00");
    EXPECT_EQ(formatLocalTime(1'772'953'200'000, newYork), "2026-03-08 03:00");
    EXPECT_EQ(formatLocalTime(1'772'955'005'250, newYork), "2026-03-08 03:30:05.250");
}

// A bare time is on the day given for it: the command's today.
TEST(LocalTime, ABareTimeIsOnTheDayGiven) {
    const CivilDate today{2026, 3, 8};
    struct Case {
        std::string text;
        std::int64_t unixMs; // 0: refused
    };
    const Case cases[] = {
        {"3:30", 1'772'955'000'000},
        {"03:30", 1'772'955'000'000},
        {"02:30", 1'772'953'200'000}, // skipped: the moment the clocks jump
        {"3:30:05Z", 1'772'940'605'000},
        {"2026-3-9 3:30", 1'772'955'000'000 + 86'400'000},
        {"3:3", 0},
        {"3", 0},
        {"today 3:30", 0},
        {":30", 0},
    };
    for (const Case& c : cases) {
        const LocalTimeParse parsed = parseLocalTime(c.text, newYork, today);
        if (c.unixMs == 0) {
            EXPECT_FALSE(parsed.moment) << c.text;
            EXPECT_NE(parsed.problem.find("or \"HH:MM\""), std::string::npos) << parsed.problem;
        } else {
            ASSERT_TRUE(parsed.moment) << c.text << ": " << parsed.problem;
            EXPECT_EQ(parsed.moment->unixMs, c.unixMs) << c.text;
        }
    }
}
