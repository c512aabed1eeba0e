// The timesheet: blocks, rounding, and days that start after midnight.
#include "activity_report/run_report.h"
#include "activity_report/timesheet.h"

#include <gtest/gtest.h>

#include <random>

using namespace report;

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;
const std::filesystem::path rules = REPORT_TEST_RULES;

// Minutes after nine o'clock.
ProjectTime at(int from, int to, std::string project) {
    return {from * 60'000, to * 60'000, std::move(project)};
}

std::map<std::string, std::int64_t> minutes(const std::vector<ProjectTime>& times, int mergeGap,
                                            int minBlock) {
    std::map<std::string, std::int64_t> out;
    for (const auto& [project, ms] : blockTotals(times, mergeGap * 60'000, minBlock * 60'000)) {
        out[project] = ms / 60'000;
    }
    return out;
}

} // namespace

TEST(Timesheet, BlocksJoinShortGapsDropShortBlocksAndCountEachMinuteOnce) {
    struct Case {
        const char* what;
        std::vector<ProjectTime> times;
        int mergeGap, minBlock;
        std::map<std::string, std::int64_t> expected;
    };
    const Case cases[] = {
        {"plain", {at(0, 60, "A")}, 0, 0, {{"A", 60}}},
        {"an unrecorded gap joined", {at(0, 10, "A"), at(14, 20, "A")}, 5, 0, {{"A", 20}}},
        {"a gap as long as --merge-gap is not joined",
         {at(0, 10, "A"), at(15, 20, "A")},
         5,
         0,
         {{"A", 15}}},
        {"another project's time in the gap stays its own",
         {at(0, 10, "A"), at(10, 15, "B"), at(15, 25, "A")},
         10,
         0,
         {{"A", 20}, {"B", 5}}},
        {"a gap joined over both: the free minutes go to the project before them",
         {at(0, 10, "A"), at(12, 20, "B"), at(22, 30, "A"), at(32, 40, "B")},
         15,
         0,
         {{"A", 20}, {"B", 20}}},
        {"a short block dropped", {at(0, 3, "A"), at(30, 60, "B")}, 0, 5, {{"B", 30}}},
        {"a block as long as --min-block kept",
         {at(0, 5, "A"), at(30, 60, "B")},
         0,
         5,
         {{"A", 5}, {"B", 30}}},
        {"short runs joined into a block long enough",
         {at(0, 3, "A"), at(5, 8, "A"), at(30, 32, "A")},
         5,
         7,
         {{"A", 8}}},
        {"two machines on one project count once",
         {at(0, 30, "A"), at(15, 45, "A")},
         0,
         0,
         {{"A", 45}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(minutes(c.times, c.mergeGap, c.minBlock), c.expected) << c.what;
    }

    // Whatever the times, no moment counts twice: the blocks fill at most the span from
    // the first time to the last, with nothing joined exactly the time there is, and with
    // no free time between the projects' exactly that too, however much is joined.
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<ProjectTime> times;
        int clock = 0;
        for (int i = 0; i < 12; ++i) {
            clock += round % 2 == 0 ? 0 : static_cast<int>(random() % 6);
            const int length = 1 + static_cast<int>(random() % 9);
            times.push_back(
                at(clock, clock + length, std::string(1, static_cast<char>('A' + random() % 3))));
            clock += length;
        }
        std::int64_t joined = 0, plain = 0, busy = 0;
        for (const auto& [project, ms] : minutes(times, 1 + static_cast<int>(random() % 8), 0)) {
            joined += ms;
        }
        for (const auto& [project, ms] : minutes(times, 0, 0)) {
            plain += ms;
        }
        for (const ProjectTime& time : times) {
            busy += (time.toMs - time.fromMs) / 60'000;
        }
        EXPECT_EQ(plain, busy);
        EXPECT_GE(joined, busy);
        EXPECT_LE(joined, clock - times.front().fromMs / 60'000);
        if (round % 2 == 0) {
            EXPECT_EQ(joined, busy); // nothing free to join over: another's time stays its own
        }
    }
}

TEST(Timesheet, HoursRoundHalfUp) {
    struct Case {
        std::int64_t ms;
        int round;
        const char* hours;
    };
    const Case cases[] = {
        {7 * 60'000 + 29'999, 15, "0.00"},
        {7 * 60'000 + 30'000, 15, "0.25"},
        {22 * 60'000 + 29'999, 15, "0.25"},
        {22 * 60'000 + 30'000, 15, "0.50"},
        {90 * 60'000, 60, "2.00"},
        {89 * 60'000, 60, "1.00"},
        {40 * 60'000, 5, "0.6667"},
        {10 * 60'000, 10, "0.1667"},
        {6 * 60'000, 6, "0.10"},
        // Places by the rounding, not the value: every value of a sheet alike.
        {35 * 60'000, 5, "0.5833"},
        {45 * 60'000, 5, "0.7500"},
        {60 * 60'000, 10, "1.0000"},
        {0, 5, "0.0000"},
        {40 * 60'000, 20, "0.6667"},
        {60 * 60'000, 20, "1.0000"},
        {27 * 60'000, 9, "0.45"},
        {60 * 60'000, 3, "1.00"},
        {25 * 3'600'000, 15, "25.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundedHours(c.ms, c.round), c.hours) << c.ms << " by " << c.round;
    }
}

TEST(Timesheet, DaysStartingAfterMidnightTakeTheNightBefore) {
    // Late evenings crossing midnight, from the 8th to the 11th.
    const Clock later{1'774'000'000'000, [](std::int64_t) { return std::int32_t{60}; }};
    const auto sheet = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"activity-report",
                                              "--dir",
                                              (logs / "night").string(),
                                              "--rules",
                                              (rules / "basic.toml").string(),
                                              "--format",
                                              "timesheet",
                                              "--no-cache"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        RunOutput output;
        EXPECT_EQ(runReport(arguments, later, logs / "night", output), 0) << output.err;
        return output.out;
    };
    struct Case {
        std::vector<std::string> extra;
        std::string expected;
    };
    // A tag over unrecorded time at 02:00 on the 10th, and one over half an hour of Word.
    const Case cases[] = {
        {{"--from", "2026-03-09", "--to", "2026-03-10"},
         "date,project,hours\r\n2026-03-09,Personal/Music,2.00\r\n2026-03-09,Work/Code,2.00\r\n"
         "2026-03-10,Meeting/Call,1.00\r\n2026-03-10,Meeting/Review,0.50\r\n"
         "2026-03-10,Work/Client A/Reports,1.50\r\n2026-03-10,Work/Code,1.00\r\n"},
        // The 9th runs to 04:00 on the 10th; the music before 04:00 on the 9th is the 8th's;
        // the evening of the 10th runs on to 02:00 on the 11th, past the selection.
        {{"--from", "2026-03-09", "--to", "2026-03-10", "--day-starts", "04:00"},
         "date,project,hours\r\n2026-03-09,Meeting/Call,1.00\r\n2026-03-09,Work/Code,3.00\r\n"
         "2026-03-10,Meeting/Review,0.50\r\n2026-03-10,Work/Client A/Reports,3.50\r\n"},
        {{"--day", "2026-03-09", "--day-starts", "04:00"},
         "date,project,hours\r\n2026-03-09,Meeting/Call,1.00\r\n2026-03-09,Work/Code,3.00\r\n"},
        {{"--day", "2026-03-08", "--day-starts", "04:00"},
         "date,project,hours\r\n2026-03-08,Personal/Music,3.00\r\n"},
        {{"--day", "2026-03-08", "--day-starts", "01:30", "--round", "30"},
         "date,project,hours\r\n2026-03-08,Personal/Music,2.50\r\n"},
        {{"--day", "2026-03-10", "--depth", "1"},
         "date,project,hours\r\n2026-03-10,Meeting,1.50\r\n2026-03-10,Work,2.50\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sheet(c.extra), c.expected) << c.extra.back();
    }
}

// A sheet of its header alone says why: no time, blocks all under --min-block, or rows
// that all round to nothing.
TEST(Timesheet, ASheetWithoutRowsSaysWhy) {
    struct Case {
        std::vector<std::string> extra;
        std::string why;
    };
    const Case cases[] = {
        {{"--day", "2026-03-01"}, "no active or tagged time on 2026-03-01"},
        {{"--day", "2026-03-08", "--min-block", "1440"},
         "every block of project time is shorter than --min-block 1440 minutes"},
        {{"--from", "2026-03-09", "--to", "2026-03-10", "--round", "1440"},
         "6 rows of 8:00:00 in all (the longest 2:00:00) round to nothing at --round 1440: a "
         "row needs at least half of 1440 minutes"},
        {{"--day", "2026-03-08"}, ""},
    };
    const Clock later{1'774'000'000'000, [](std::int64_t) { return std::int32_t{60}; }};
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"activity-report",
                                              "--dir",
                                              (logs / "night").string(),
                                              "--rules",
                                              (rules / "basic.toml").string(),
                                              "--format",
                                              "timesheet",
                                              "--no-cache"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        RunOutput output;
        EXPECT_EQ(runReport(arguments, later, logs / "night", output), 0) << output.err;
        EXPECT_EQ(output.err, c.why.empty()
                                  ? ""
                                  : "activity-report: the timesheet has no rows: " + c.why + "\n")
            << c.extra.back();
        EXPECT_EQ(output.out == "date,project,hours\r\n", !c.why.empty()) << output.out;
    }
}

TEST(Timesheet, OptionsOnlyWithTheTimesheet) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--round", "15"},
                                               {"--format", "timesheet", "--day-starts", "4:00"},
                                               {"--format", "timesheet", "--day-starts", "24:00"},
                                               {"--format", "timesheet", "--round", "0"}}) {
        std::vector<std::string> full = {"activity-report", "--dir", (logs / "night").string()};
        full.insert(full.end(), arguments.begin(), arguments.end());
        RunOutput output;
        const Clock clock{1'774'000'000'000, [](std::int64_t) { return std::int32_t{60}; }};
        EXPECT_EQ(runReport(full, clock, logs / "night", output), 2) << arguments.back();
        EXPECT_NE(output.err.find("activity-report: "), std::string::npos);
    }
}
