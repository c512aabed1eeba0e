// Totals over the committed logs: which time lands in which group, state and day.
#include "activity_report/day_log.h"
#include "activity_report/html_page.h"
#include "activity_report/run_report.h"
#include "activity_report/totals.h"
#include "text/utf8_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace report;
using logformat::CivilDate;

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;

// Central European time in 2026: +01:00, +02:00 from 03-29 01:00Z to 10-25 01:00Z.
std::int32_t centralEurope(std::int64_t unixMs) {
    return unixMs >= 1'774'746'000'000 && unixMs < 1'792'890'000'000 ? 120 : 60;
}

const Clock lateClock{1'800'000'000'000, centralEurope}; // 2027, after every log

struct Result {
    Table table;
    Totals totals;
    ReadCounts counts;
};

Result reportOver(const std::vector<std::string>& folders, CivilDate first, CivilDate last,
                  GroupBy by = GroupBy::app, bool includeAway = false,
                  const Clock& clock = lateClock) {
    ReportOptions options;
    for (const std::string& folder : folders) {
        options.directories.push_back(logs / folder);
    }
    options.first = first;
    options.last = last;
    options.by = by;
    Result result;
    TotalsBuilder builder(Grouper{by});
    forEachDay(options, clock, result.counts, [&](const Day& day) { builder.addDay(day); });
    result.totals = builder.finish();
    result.table = tableOf(result.totals, includeAway);
    return result;
}

using Rows = std::vector<std::pair<std::string, std::int64_t>>; // name, seconds

Rows rowsOf(const Table& table) {
    Rows rows;
    for (const Row& row : table.rows) {
        rows.emplace_back(row.name, row.ms / 1000);
    }
    return rows;
}

constexpr CivilDate march(int day) {
    return CivilDate{2026, 3, day};
}

} // namespace

TEST(ReportTotals, GroupsOverTheSelectedDays) {
    struct Case {
        const char* what;
        std::vector<std::string> folders;
        CivilDate first, last;
        GroupBy by;
        bool includeAway;
        Rows rows;
    };
    const Case cases[] = {
        {"the day before: the event up to its midnight",
         {"basic"},
         march(8),
         march(8),
         GroupBy::app,
         false,
         {{"Spotify", 1800}}},
        {"one day: two events split at its midnights, as the collector writes them",
         {"basic"},
         march(9),
         march(9),
         GroupBy::app,
         false,
         {{"Microsoft Word", 6000},
          {"Visual Studio Code", 2400},
          {"Microsoft Edge", 1800},
          {"Spotify", 1800}}},
        {"the last day: the open event counts, the truncated line doesn't",
         {"basic"},
         march(10),
         march(10),
         GroupBy::app,
         false,
         {{"Visual Studio Code", 3600}, {"Windows Terminal", 1800}, {"Microsoft Edge", 900}}},
        {"a range: every day whole, ties by name",
         {"basic"},
         march(8),
         march(10),
         GroupBy::app,
         false,
         {{"Microsoft Word", 6000},
          {"Visual Studio Code", 6000},
          {"Microsoft Edge", 2700},
          {"Spotify", 3600},
          {"Windows Terminal", 1800}}},
        {"by category, with the table's names",
         {"basic"},
         march(9),
         march(9),
         GroupBy::category,
         false,
         {{"Word", 6000}, {"IDE", 2400}, {"Browser", 1800}, {"Music", 1800}}},
        {"by document",
         {"basic"},
         march(9),
         march(9),
         GroupBy::doc,
         false,
         {{"(no document)", 3600},
          {"report.docx", 3600},
          {"main.cpp - app", 2400},
          {"notes.docx", 2400}}},
        {"by folder of the document's path",
         {"basic"},
         march(9),
         march(9),
         GroupBy::folder,
         false,
         {{"C:/Users/ann/Documents", 6000}, {"(no folder)", 3600}, {"C:/src/app", 2400}}},
        {"by title",
         {"basic"},
         march(10),
         march(10),
         GroupBy::title,
         false,
         {{"ann@host: ~/src", 1800},
          {"util.cpp - app - Visual Studio Code", 2400},
          {"main.cpp - app - Visual Studio Code", 1200},
          {"Docs - Microsoft Edge", 900}}},
        {"every state as its own row",
         {"basic"},
         march(9),
         march(9),
         GroupBy::category,
         true,
         {{"Word", 6000},
          {"IDE", 2400},
          {"Browser", 1800},
          {"Music", 1800},
          {"(idle)", 900},
          {"(locked)", 300},
          {"(no window)", 60},
          {"(unavailable)", 30}}},
        {"two machines: each one's time counts",
         {"basic", "other-machine"},
         march(9),
         march(9),
         GroupBy::app,
         false,
         {{"Microsoft Word", 6000},
          {"Microsoft Teams", 5700},
          {"Visual Studio Code", 2400},
          {"Microsoft Edge", 1800},
          {"Spotify", 1800}}},
        {"an open event the collector already appended counts once",
         {"appended"},
         march(10),
         march(10),
         GroupBy::app,
         false,
         {{"Microsoft Edge", 900}}},
        {"events waiting in current.json count once, the ones appended meanwhile too",
         {"queued"},
         march(10),
         march(10),
         GroupBy::app,
         false,
         {{"Microsoft Teams", 3600},
          {"Visual Studio Code", 1200},
          {"Microsoft Edge", 600},
          {"Microsoft Word", 600}}},
        {"an empty folder and days without files are no data",
         {"empty"},
         march(1),
         march(31),
         GroupBy::app,
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rows expected = c.rows;
        // Equal times come by name; the table above lists them as a reader would.
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        EXPECT_EQ(rowsOf(reportOver(c.folders, c.first, c.last, c.by, c.includeAway).table),
                  expected);
    }
}

TEST(ReportTotals, StatesCoverageAndSkippedLines) {
    struct Case {
        const char* what;
        std::vector<std::string> folders;
        CivilDate first, last;
        StateTotals states; // seconds
        Coverage coverage;  // seconds
        std::uint64_t skipped;
        Clock clock = lateClock;
    };
    const Case cases[] = {
        {"each state, the gaps between the events",
         {"basic"},
         march(9),
         march(9),
         {12'000, 900, 300, 60, 30},
         {86'400, 12'000, 1200, 60, 30, 73'110, 3},
         1},
        {"a range: a gap across midnight is one gap",
         {"basic"},
         march(8),
         march(10),
         {1800 + 12'000 + 6300, 900, 300, 60, 30},
         {3 * 86'400, 20'100, 1200, 60, 30, 3 * 86'400 - 21'390, 1 + 3 + 2},
         2},
        {"two machines: each moment once, active over away",
         {"basic", "other-machine"},
         march(9),
         march(9),
         {12'000 + 5700, 900, 300, 60, 30},
         {86'400, 14'100, 300, 60, 30, 71'910, 4},
         1},
        {"the night the clocks spring forward has 23 hours",
         {"dst"},
         march(29),
         march(29),
         {7200, 0, 0, 0, 0},
         {82'800, 7200, 0, 0, 0, 75'600, 2},
         0},
        {"today counts up to now; tomorrow has no span yet",
         {"basic"},
         march(10),
         march(11),
         {3600 + 1800 + 900, 0, 0, 0, 0},
         {10 * 3600, 6300, 0, 0, 0, 36'000 - 6300, 2},
         1,
         // 2026-03-10T10:00+01:00
         Clock{1'773'133'200'000, centralEurope}},
        {"read on a machine whose zone isn't the log's: the day by the log's offsets",
         {"basic"},
         march(9),
         march(9),
         {12'000, 900, 300, 60, 30},
         {86'400, 12'000, 1200, 60, 30, 73'110, 3},
         1,
         Clock{1'800'000'000'000, [](std::int64_t) { return std::int32_t{-300}; }}},
        {"today, the open event running past now: the parts add up to the span",
         {"basic"},
         march(10),
         march(10),
         {6300, 0, 0, 0, 0},
         {9 * 3600 + 2400, 6000, 0, 0, 0, 8 * 3600, 1},
         1,
         // 2026-03-10T09:40+01:00, in the open event of 09:30 to 09:45
         Clock{1'773'132'000'000, centralEurope}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result result = reportOver(c.folders, c.first, c.last, GroupBy::app, false, c.clock);
        StateTotals seconds{};
        for (std::size_t s = 0; s < seconds.size(); ++s) {
            seconds[s] = result.totals.byState[s] / 1000;
        }
        EXPECT_EQ(seconds, c.states);
        const Coverage& got = result.totals.coverage;
        EXPECT_EQ(got.spanMs / 1000, c.coverage.spanMs);
        EXPECT_EQ(got.activeMs / 1000, c.coverage.activeMs);
        EXPECT_EQ(got.awayMs / 1000, c.coverage.awayMs);
        EXPECT_EQ(got.noWindowMs / 1000, c.coverage.noWindowMs);
        EXPECT_EQ(got.unavailableMs / 1000, c.coverage.unavailableMs);
        EXPECT_EQ(got.notRecordedMs / 1000, c.coverage.notRecordedMs);
        EXPECT_EQ(got.gapsOverAMinute, c.coverage.gapsOverAMinute);
        EXPECT_EQ(got.activeMs + got.awayMs + got.noWindowMs + got.unavailableMs +
                      got.notRecordedMs,
                  got.spanMs);
        EXPECT_EQ(result.counts.skippedLines, c.skipped);
    }
}

// The coverage line says when recording began and ended, and what lies unrecorded
// between, not the time since midnight before the first event.
TEST(ReportTotals, CoverageSaysWhenRecordingBeganAndEndedAndTheGapsBetween) {
    struct Case {
        const char* what;
        std::vector<std::string> folders;
        CivilDate first, last;
        std::string began, ended; // formatTimestamp's
        std::int64_t betweenSeconds, gaps;
        std::vector<std::int64_t> longestSeconds;
        std::string line; // in the text's coverage line
    };
    const Case cases[] = {
        {"a day from the night before's event to the next night's",
         {"basic"},
         march(9),
         march(9),
         "2026-03-09T00:00:00.000+01:00",
         "2026-03-10T00:00:00.000+01:00",
         73'110,
         3,
         {40'200, 30'600, 2310},
         "recorded 00:00:00 to 24:00:00, not recorded between 20:18:30 in 3 gaps, "
         "longest 11:10:00 from 12:40:00"},
        {"a range: the gaps across midnight are one each, and inside it",
         {"basic"},
         march(8),
         march(10),
         "2026-03-08T23:30:00.000+01:00",
         "2026-03-10T09:45:00.000+01:00",
         101'910,
         4,
         {40'200, 30'600, 28'800},
         "recorded 2026-03-08 23:30:00 to 2026-03-10 09:45:00"},
        {"a morning with no gap: nothing counted before it began",
         {"morning"},
         march(12),
         march(12),
         "2026-03-12T09:00:00.000+01:00",
         "2026-03-12T12:30:00.000+01:00",
         0,
         0,
         {},
         "recorded 09:00:00 to 12:30:00, no gaps, active"},
        {"nothing recorded", {"empty"}, march(11), march(11), "", "", 0, 0, {}, "nothing recorded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Coverage got =
            reportOver(c.folders, c.first, c.last, GroupBy::app, false).totals.coverage;
        EXPECT_EQ(got.firstRecorded ? logformat::formatTimestamp(*got.firstRecorded) : "", c.began);
        EXPECT_EQ(got.lastRecorded ? logformat::formatTimestamp(*got.lastRecorded) : "", c.ended);
        EXPECT_EQ(got.notRecordedBetweenMs, c.betweenSeconds * 1000);
        EXPECT_EQ(got.gapsBetween, c.gaps);
        std::vector<std::int64_t> longest;
        for (std::size_t i = 0; i < got.longestGapCount; ++i) {
            const Gap& gap = got.longestGaps[i];
            longest.push_back((gap.to.unixMs - gap.from.unixMs) / 1000);
        }
        EXPECT_EQ(longest, c.longestSeconds);

        std::vector<std::string> arguments = {"activity-report", "--no-cache"};
        for (const std::string& folder : c.folders) {
            arguments.insert(arguments.end(), {"--dir", (logs / folder).string()});
        }
        arguments.insert(arguments.end(), {"--from", logformat::formatDate(c.first), "--to",
                                           logformat::formatDate(c.last)});
        RunOutput output;
        ASSERT_EQ(runReport(arguments, lateClock, logs, output), 0);
        // The line as one, however it wraps.
        std::string text;
        for (const char ch : output.out) {
            if (ch == '\n') {
                text += ' ';
            } else if (ch != ' ' || text.empty() || text.back() != ' ') {
                text += ch;
            }
        }
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
    }
}

TEST(ReportTotals, EventsSplitAtTheirOwnMidnights) {
    logformat::LogEvent event;
    // 2026-03-09T23:50+01:00 to 2026-03-11T00:10+01:00, read anywhere.
    event.start = {1'773'096'600'000, 60};
    event.end = {1'773'184'200'000, 60};
    const std::int64_t day9 = logformat::daysFromCivil(march(9));
    struct Case {
        std::int64_t first, last;
        std::vector<std::int64_t> seconds;
    };
    const Case cases[] = {
        {day9, day9 + 2, {600, 86'400, 600}},
        {day9 + 1, day9 + 1, {86'400}},
        {day9 + 3, day9 + 9, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::int64_t> seconds;
        for (const Piece& piece : splitIntoDays(event, c.first, c.last)) {
            seconds.push_back((piece.toMs - piece.fromMs) / 1000);
        }
        EXPECT_EQ(seconds, c.seconds);
    }
    event.end = event.start;
    EXPECT_TRUE(splitIntoDays(event, day9, day9).empty());
}

TEST(ReportTotals, AnEventEndingAtMidnightLeavesNothingOnTheNextDay) {
    // The collector ends an event at 00:00 and starts the next day's part there: each day
    // gets its own part, and none a part without length.
    struct Case {
        CivilDate day;
        std::vector<std::int64_t> seconds; // of the day's pieces, in order
    };
    const Case cases[] = {
        {march(8), {1800}},
        {march(9), {1800, 3600, 1800, 900, 1800, 300, 60, 30, 2400, 600}},
        {march(10), {1200, 2400, 1800, 900}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(logformat::formatDate(c.day));
        ReportOptions options;
        options.directories = {logs / "basic"};
        options.first = options.last = c.day;
        ReadCounts counts;
        std::vector<std::int64_t> seconds;
        forEachDay(options, lateClock, counts, [&](const Day& day) {
            for (const Piece& piece : day.pieces) {
                EXPECT_GE(piece.fromMs, day.spanStartMs);
                EXPECT_LE(piece.toMs, day.spanEndMs);
                seconds.push_back((piece.toMs - piece.fromMs) / 1000);
            }
        });
        EXPECT_EQ(seconds, c.seconds);
    }
}

namespace {

// The zones' rules in 2026, as the system would give them.
std::int32_t newYork(std::int64_t unixMs) {
    return unixMs >= 1'772'953'200'000 && unixMs < 1'793'512'800'000 ? -240 : -300;
}
std::int32_t lordHowe(std::int64_t unixMs) {
    return unixMs >= 1'775'314'800'000 && unixMs < 1'791'041'400'000 ? 630 : 660;
}
std::int32_t kathmandu(std::int64_t) {
    return 345;
}

} // namespace

TEST(ReportTotals, DaysWithAClockChange) {
    struct Case {
        const char* what;
        std::string folder;
        CivilDate day;
        StateTotals states; // seconds
        std::int64_t spanSeconds;
        std::int64_t notRecordedSeconds;
        std::vector<std::string> hours; // the page's axis
    };
    const auto labels = [](std::initializer_list<int> skipped, std::initializer_list<int> twice) {
        std::vector<std::string> out;
        for (int hour = 0; hour < 24; ++hour) {
            if (std::find(skipped.begin(), skipped.end(), hour) != skipped.end()) {
                continue;
            }
            char text[8];
            std::snprintf(text, sizeof text, "%02d", hour);
            out.push_back(text);
            if (std::find(twice.begin(), twice.end(), hour) != twice.end()) {
                out.push_back(text);
            }
        }
        out.push_back("24");
        return out;
    };
    const Case cases[] = {
        {"New York springs forward: 23 hours, all recorded",
         "new-york",
         {2026, 3, 8},
         {5400 + 30'600 + 32'400, 3600, 7200, 0, 0},
         23 * 3600,
         3600,
         labels({2}, {})},
        {"New York falls back: a locked night of 25 hours stays on its day",
         "new-york",
         {2026, 11, 1},
         {0, 0, 25 * 3600, 0, 0},
         25 * 3600,
         0,
         labels({}, {1})},
        {"the day after the fall: only its own hours",
         "new-york",
         {2026, 11, 2},
         {3600, 0, 8 * 3600, 0, 0},
         24 * 3600,
         15 * 3600,
         labels({}, {})},
        {"Lord Howe goes back half an hour: 24.5 hours, 02 once",
         "lord-howe",
         {2026, 4, 5},
         {0, 0, 88'200, 0, 0},
         88'200,
         0,
         labels({}, {})},
        {"Lord Howe goes forward half an hour: 23.5 hours",
         "lord-howe",
         {2026, 10, 4},
         {6300 + 75'600, 2700, 0, 0, 0},
         84'600,
         0,
         labels({2}, {})},
        {"Kathmandu, 5:45 ahead: midnights at a quarter past",
         "kathmandu",
         {2026, 3, 11},
         {1800 + 3600 + 1800, 0, 0, 0, 0},
         24 * 3600,
         24 * 3600 - 7200,
         labels({}, {})},
    };
    const std::pair<const char*, Clock> readers[] = {
        {"read in its own zone", Clock{1'800'000'000'000, newYork}},
        {"read in another zone", lateClock},
    };
    for (const Case& c : cases) {
        for (const auto& [where, zoneClock] : readers) {
            SCOPED_TRACE(std::string(c.what) + ", " + where);
            Clock clock = zoneClock;
            if (std::string(where) == "read in its own zone") {
                clock.offsetAt = c.folder == "new-york"    ? newYork
                                 : c.folder == "lord-howe" ? lordHowe
                                                           : kathmandu;
            }
            const Result result = reportOver({c.folder}, c.day, c.day, GroupBy::app, false, clock);
            StateTotals seconds{};
            for (std::size_t s = 0; s < seconds.size(); ++s) {
                seconds[s] = result.totals.byState[s] / 1000;
            }
            EXPECT_EQ(seconds, c.states);
            EXPECT_EQ(result.totals.coverage.spanMs, c.spanSeconds * 1000);
            EXPECT_EQ(result.totals.coverage.notRecordedMs, c.notRecordedSeconds * 1000);

            ReportOptions options;
            options.directories = {logs / c.folder};
            options.first = options.last = c.day;
            ReadCounts counts;
            std::vector<std::string> hours;
            forEachDay(options, clock, counts, [&](const Day& day) {
                for (const HourTick& tick : hourTicks(day)) {
                    hours.push_back(tick.label);
                }
            });
            EXPECT_EQ(hours, c.hours);
        }
    }
}

TEST(ReportTotals, TheSameFolderTwiceCountsOnce) {
    const std::filesystem::path basic = logs / "basic";
    std::vector<std::vector<std::filesystem::path>> spellings = {
        {basic, basic}, {basic, logs / "basic" / ""}, {basic, logs / "basic" / ".." / "basic"}};
    // Through a link, where the system lets a test make one.
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / "activity-report-test-link";
    std::error_code error;
    std::filesystem::remove(link, error);
    std::filesystem::create_directory_symlink(std::filesystem::absolute(basic), link, error);
    if (!error) {
        spellings.push_back({link, basic});
    }
    for (const std::vector<std::filesystem::path>& spelling : spellings) {
        // --no-cache: the committed log gets no summaries beside it.
        std::vector<std::string> arguments = {"activity-report", "--no-cache", "--day",
                                              "2026-03-09",      "--format",   "csv"};
        for (const auto& folder : spelling) {
            arguments.push_back("--dir");
            arguments.push_back(text::utf8FromPath(folder));
        }
        RunOutput output;
        ASSERT_EQ(runReport(arguments, lateClock, {}, output), 0) << output.err;
        EXPECT_NE(output.out.find("Microsoft Word,6000.000,"), std::string::npos) << output.out;
    }
    std::filesystem::remove(link, error);
}
