// Forgetting a span: which events lose their text, the day files rewritten around them
// (across midnight, in current.json), the summaries that go, the request and its answer,
// and the command line.
#include "activity_log/forget_command.h"
#include "activity_log/forget_folder.h"
#include "activity_log/forget_requests.h"
#include "logformat/log_files.h"
#include "logformat/summary_files.h"

#include "clock_changes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using activity_log::TimeRange;
using logformat::ActivityState;
using logformat::LogEvent;

constexpr std::int64_t minute = 60'000;
// 2026-12-07 00:00 local, UTC+01:00.
constexpr std::int64_t dayOne = 1'796'598'000'000;
constexpr std::int64_t dayTwo = dayOne + 1440 * minute;

LogEvent event(std::int64_t startMs, std::int64_t minutes, const std::string& title,
               ActivityState state = ActivityState::active) {
    LogEvent e;
    e.start = {startMs, 60};
    e.end = {startMs + minutes * minute, 60};
    e.state = state;
    e.title = title;
    e.curatedTitle = title.empty() ? "" : title + " (curated)";
    e.doc = title.empty() ? "" : title + ".docx";
    e.url = title.empty() ? "" : "C:/Users/ann/" + title + ".docx";
    e.pid = 7;
    e.app = "Microsoft Word";
    e.exePath = "C:/Office/WINWORD.EXE";
    e.category = 8;
    return e;
}

LogEvent forgotten(LogEvent e) {
    e.title = "excluded";
    e.curatedTitle = e.doc = e.url = "";
    return e;
}

std::string lines(const std::vector<LogEvent>& events) {
    std::string text;
    for (const LogEvent& e : events) {
        text += logformat::formatLogEvent(e);
    }
    return text;
}

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeWhole(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

// Every file under FOLDERS, for text that must be gone.
bool anyFileHolds(const std::vector<fs::path>& folders, const std::string& text) {
    for (const fs::path& folder : folders) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() &&
                readWhole(entry.path()).find(text) != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

struct ForgetFolderTest : ::testing::Test {
    fs::path folder, cache;
    void SetUp() override {
        const fs::path root =
            fs::temp_directory_path() /
            ("activity-log-forget-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        folder = root / "log";
        cache = root / "cache";
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(folder.parent_path(), error);
    }
    fs::path day(std::int64_t ms) const {
        return folder / logformat::dayFileName(logformat::localDate({ms, 60}));
    }
    activity_log::ForgetOutcome forget(TimeRange range, std::vector<LogEvent>& current) {
        return activity_log::forgetInFolder(folder, range, current, cache);
    }
};

TEST_F(ForgetFolderTest, EveryEventReachedLosesItsWholeTextAndKeepsItsTime) {
    const std::int64_t ten = dayOne + 600 * minute;
    struct Case {
        const char* what;
        std::vector<LogEvent> events;
        TimeRange range;
        std::vector<bool> reached;
    };
    const Case cases[] = {
        {"an event partly inside: the window's title is the same outside",
         {event(ten, 30, "Bank"), event(ten + 30 * minute, 10, "Mail")},
         {ten + 20 * minute, ten + 25 * minute},
         {true, false}},
        {"ending where the range starts, starting where it ends: outside",
         {event(ten, 10, "Before"), event(ten + 10 * minute, 5, "Inside"),
          event(ten + 15 * minute, 5, "After")},
         {ten + 10 * minute, ten + 15 * minute},
         {false, true, false}},
        {"idle and locked keep the window's title: it goes too",
         {event(ten, 10, "Bank", ActivityState::idle),
          event(ten + 10 * minute, 10, "Lock", ActivityState::locked)},
         {ten, ten + 20 * minute},
         {true, true}},
        {"an event excluded already before one reached: each line is its own",
         {forgotten(event(ten, 10, "x")), event(ten + 10 * minute, 10, "Bank")},
         {ten + 10 * minute, ten + 20 * minute},
         {false, true}},
        {"no window, no sampler, or excluded already: nothing to forget",
         {event(ten, 10, "", ActivityState::none),
          event(ten + 10 * minute, 10, "", ActivityState::unavailable),
          forgotten(event(ten + 20 * minute, 10, "x"))},
         {ten, ten + 30 * minute},
         {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = lines(c.events);
        writeWhole(day(ten), before);
        std::vector<LogEvent> expected;
        std::size_t count = 0;
        for (std::size_t i = 0; i < c.events.size(); ++i) {
            expected.push_back(c.reached[i] ? forgotten(c.events[i]) : c.events[i]);
            count += c.reached[i] ? 1 : 0;
        }
        std::vector<LogEvent> current;
        const auto outcome = forget(c.range, current);
        EXPECT_EQ(outcome.events, count);
        EXPECT_EQ(outcome.days.size(), count > 0 ? 1u : 0u);
        EXPECT_TRUE(outcome.failures.empty());
        EXPECT_EQ(readWhole(day(ten)), lines(expected));
        // Once more: nothing left to forget, nothing rewritten.
        EXPECT_EQ(forget(c.range, current).events, 0u);
    }
}

TEST_F(ForgetFolderTest, AnEventCutAtMidnightIsForgottenWholeWhereverItsOtherPieceIs) {
    const LogEvent public_ = event(dayTwo - 60 * minute, 50, "Public");
    const LogEvent before = event(dayTwo - 10 * minute, 10, "Secret");
    const LogEvent after = event(dayTwo, 15, "Secret");
    const LogEvent later = event(dayTwo + 15 * minute, 5, "Later");
    struct Case {
        const char* what;
        std::vector<LogEvent> first, second, current;
        TimeRange range;
    };
    const Case cases[] = {
        {"the range on the first piece; the second in the next day file",
         {public_, before},
         {after, later},
         {},
         {dayTwo - 5 * minute, dayTwo - 4 * minute}},
        {"the range on the second piece; the first in the day before",
         {public_, before},
         {after, later},
         {},
         {dayTwo + minute, dayTwo + 2 * minute}},
        {"the second piece still open, in current.json",
         {public_, before},
         {},
         {after},
         {dayTwo - 5 * minute, dayTwo - 4 * minute}},
        {"a range across midnight",
         {public_, before},
         {after, later},
         {},
         {dayTwo - 5 * minute, dayTwo + 5 * minute}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::remove_all(cache);
        writeWhole(day(dayOne), lines(c.first) + "{\"start\": \"2026-12-07T23:59:0");
        if (!c.second.empty()) {
            writeWhole(day(dayTwo), lines(c.second));
        }
        // The report's summaries of the two days, in both places, one cut short while
        // written; and that of the day before, which stays. In the cache also under
        // another name, such as an older naming gave the folder spelled another way.
        const fs::path cached = logformat::cachedSummaryFolder(cache, folder);
        const fs::path otherName = cache / "summaries" / "0123456789abcdef";
        for (const fs::path& summaries : {logformat::summaryFolder(folder), cached, otherName}) {
            writeWhole(summaries / "2026-12-07.json", "Secret");
            writeWhole(summaries / "2026-12-08.json", "Secret");
            writeWhole(summaries / "2026-12-08.json.5f3a.tmp", "Secr");
            writeWhole(summaries / "2026-12-06.json", "kept");
        }
        writeWhole(folder / "2026-12-08.jsonl.tmp", "Secret");

        std::vector<LogEvent> current = c.current;
        const auto outcome = forget(c.range, current);
        EXPECT_TRUE(outcome.failures.empty());
        EXPECT_EQ(outcome.events, 2u);
        EXPECT_EQ(outcome.damagedLines, 1u);
        EXPECT_EQ(readWhole(day(dayOne)), lines({public_, forgotten(before)}));
        if (!c.second.empty()) {
            EXPECT_EQ(readWhole(day(dayTwo)), lines({forgotten(after), later}));
        } else {
            ASSERT_EQ(current.size(), 1u);
            EXPECT_EQ(lines(current), lines({forgotten(after)}));
        }
        EXPECT_FALSE(anyFileHolds({folder, cache}, "Secr"));
        EXPECT_TRUE(fs::exists(logformat::summaryFolder(folder) / "2026-12-06.json"));
        EXPECT_TRUE(fs::exists(cached / "2026-12-06.json"));
        EXPECT_TRUE(fs::exists(otherName / "2026-12-06.json"));
    }
}

TEST_F(ForgetFolderTest, ARequestIsCarriedOutAnsweredAndCleanedUp) {
    const std::int64_t ten = dayOne + 600 * minute;
    writeWhole(day(ten), lines({event(ten, 10, "Bank")}));
    std::vector<LogEvent> current{event(ten + 10 * minute, 5, "Open bank")};
    int kept = 0;
    const auto keep = [&] {
        ++kept;
        return true;
    };
    ASSERT_TRUE(activity_log::writeForgetRequest(folder, "a1", {ten, ten + 20 * minute}));
    writeWhole(folder / activity_log::forgetRequestFolder / "b2.request", "from 5\nto 1\n");
    EXPECT_TRUE(activity_log::forgetRequested(folder));
    activity_log::answerForgetRequests(folder, current, keep, "collector");
    EXPECT_FALSE(activity_log::forgetRequested(folder));
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(current[0].title, "excluded");

    const auto answer = activity_log::takeForgetAnswer(folder, "a1");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->answerer, "collector");
    EXPECT_EQ(answer->outcome.events, 2u);
    EXPECT_EQ(answer->outcome.days.size(), 1u);
    EXPECT_TRUE(answer->outcome.failures.empty());
    EXPECT_FALSE(activity_log::takeForgetAnswer(folder, "a1"));
    const auto refused = activity_log::takeForgetAnswer(folder, "b2");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->outcome.failures.size(), 1u);
    EXPECT_FALSE(fs::exists(folder / activity_log::forgetRequestFolder));
}

// --last reads the durations both programs read: a unit, or plain seconds.
TEST(ForgetOptions, LastTakesADurationAsTyped) {
    const std::int64_t now = 1'796'101'200'000;
    const std::pair<const char*, std::optional<std::int64_t>> durations[] = {
        {"90s", 90'000},          {"10m", 600'000},      {"1.5h", 5'400'000},
        {"2h", 7'200'000},        {"10", 10'000},        {"m", std::nullopt},
        {"-5m", std::nullopt},    {"0m", std::nullopt},  {"1e3s", std::nullopt},
        {".5h", std::nullopt},    {"5.h", std::nullopt}, {"10 m", std::nullopt},
        {"90000h", std::nullopt}, {"5d", std::nullopt},
    };
    for (const auto& [text, ms] : durations) {
        const auto parsed =
            activity_log::parseForgetOptions({"--last", text}, now, test_support::newYork);
        ASSERT_EQ(parsed.options.has_value(), ms.has_value()) << text << ": " << parsed.err;
        if (ms) {
            EXPECT_EQ(parsed.options->range.fromMs, now - *ms) << text;
        } else {
            EXPECT_EQ(parsed.err.rfind("activity-log forget: --last: ", 0), 0u) << parsed.err;
        }
    }
}

// Where the clocks change, each end of the range is the moment the parser names, as a
// tag's: from any of them to a later day, and to any of them from an earlier one.
TEST(ForgetOptions, LocalTimesWhereTheClocksChange) {
    const std::int64_t now = 1'796'101'200'000; // 2026-12-01 00:00-05:00
    for (const auto& c : test_support::clockChanges) {
        SCOPED_TRACE(c.what);
        const auto from = activity_log::parseForgetOptions(
            {"--from", c.text, "--to", "2026-12-01 00:00"}, now, test_support::newYork);
        ASSERT_TRUE(from.options) << from.err;
        EXPECT_EQ(from.options->range.fromMs, c.unixMs);
        const auto to = activity_log::parseForgetOptions(
            {"--from", "2026-01-01 00:00", "--to", c.text}, now, test_support::newYork);
        ASSERT_TRUE(to.options) << to.err;
        EXPECT_EQ(to.options->range.toMs, c.unixMs);
    }
}

TEST(ForgetOptions, ARangeOrAMessageAndStatus2) {
    const std::int64_t now = dayOne + 600 * minute;
    const auto offsetAt = [](std::int64_t) { return 60; };
    const auto range = [&](std::vector<std::string> arguments) {
        const auto parsed = activity_log::parseForgetOptions(arguments, now, offsetAt);
        EXPECT_TRUE(parsed.options) << parsed.err;
        return parsed.options ? parsed.options->range : TimeRange{};
    };
    EXPECT_EQ(range({"--last", "10m"}).fromMs, now - 10 * minute);
    EXPECT_EQ(range({"--last", "10m"}).toMs, now);
    const TimeRange given = range({"--from", "2026-12-07 23:55", "--to", "2026-12-08 00:10"});
    EXPECT_EQ(given.fromMs, dayTwo - 5 * minute);
    EXPECT_EQ(given.toMs, dayTwo + 10 * minute);
    // As people type them: no leading zeros, and a bare time is today's.
    const TimeRange typed = range({"--from", "2026-12-7 9:05", "--to", "9:55"});
    EXPECT_EQ(typed.fromMs, dayOne + 545 * minute);
    EXPECT_EQ(typed.toMs, dayOne + 595 * minute);

    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{}, "give either --last DURATION or --from and --to"},
        {{"--last", "10m", "--from", "2026-12-07 10:00"}, "give either"},
        {{"--from", "2026-12-07 10:00"}, "--from and --to go together"},
        {{"--last", "10x"}, "--last: not a duration: \"10x\""},
        {{"--last", "0s"}, "must be more than zero"},
        {{"--from", "2026-12-07 10:00", "--to", "2026-12-07 25:00"},
         "--to '2026-12-07 25:00': not a time of the form"},
        {{"--from", "2026-12-07 10:00+99:00", "--to", "2026-12-07 11:00"},
         "--from '2026-12-07 10:00+99:00': no time zone is +99:00"},
        {{"--from", "2026-12-07 10:00", "--to", "2026-12-07 10:00"}, "is not before --to"},
        {{"--from", "2026-12-07 11:00", "--to", "2026-12-07 10:00"}, "is not before --to"},
        {{"--last", "5m", "--wait", "0"}, "--wait"},
        {{"--last", "5m", "--samples", "3"}, "--samples"},
    };
    for (const auto& [arguments, message] : refused) {
        const auto parsed = activity_log::parseForgetOptions(arguments, now, offsetAt);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_NE(parsed.err.find(message), std::string::npos) << parsed.err;
    }
}

} // namespace
