// Lengths of time as either program's options read them.
#include "logformat/duration.h"

#include <gtest/gtest.h>

#include <string>

using namespace logformat;

TEST(Duration, UnitsPlainNumbersAndWhatIsRefused) {
    const DurationBounds seconds{};
    const DurationBounds minutes{60'000, 0, 1440 * 60'000};
    struct Case {
        std::string text;
        DurationBounds bounds;
        std::int64_t ms;     // -1: refused
        std::string problem; // found in the message
    };
    const Case cases[] = {
        {"90s", seconds, 90'000, ""},
        {"10m", seconds, 600'000, ""},
        {"1.5h", seconds, 5'400'000, ""},
        {"90", seconds, 90'000, ""},
        {"0.25", seconds, 250, ""},
        {"15", minutes, 900'000, ""},
        {"90s", minutes, 90'000, ""},
        {"0", minutes, 0, ""},
        {"0", seconds, -1, "\"0\" is no time: it must be more than zero"},
        {"0.0001s", seconds, -1, "must be more than zero"},
        {"-5m", seconds, -1, "can't be negative: \"-5m\""},
        {"25h", minutes, -1, "\"25h\" is too long: at most 24h"},
        {"99999999999999999999h", seconds, -1, "too long"},
        {"1e3s", seconds, -1, "not a duration: \"1e3s\" (a number of seconds, or one with"},
        {"five", minutes, -1, "(a number of minutes, or one with s, m or h"},
        {"", seconds, -1, "not a duration"},
        {"s", seconds, -1, "not a duration"},
        {".5h", seconds, -1, "not a duration"},
        {"5.h", seconds, -1, "not a duration"},
        {"1.2.3s", seconds, -1, "not a duration"},
        {"10 m", seconds, -1, "not a duration"},
        {"5d", seconds, -1, "not a duration"},
        {"nan", seconds, -1, "not a duration"},
        {std::string(40, '1'), seconds, -1,
         "not a duration: \"11111111111111111111111111111111…\""},
    };
    for (const Case& c : cases) {
        const DurationParse parsed = parseDuration(c.text, c.bounds);
        if (c.ms < 0) {
            EXPECT_FALSE(parsed.ms) << c.text;
            EXPECT_NE(parsed.problem.find(c.problem), std::string::npos) << parsed.problem;
        } else {
            EXPECT_EQ(parsed.ms, c.ms) << c.text << ": " << parsed.problem;
        }
    }
    EXPECT_EQ(durationText(100), "0.1s");
    EXPECT_EQ(durationText(90 * 60'000), "90m");
}
