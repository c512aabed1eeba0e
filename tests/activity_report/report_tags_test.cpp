// Tags as a user makes them: activity-report tag, its file, and the times it reads.
#include "activity_report/attribution.h"
#include "activity_report/project_tree.h"
#include "activity_report/rules.h"
#include "activity_report/run_report.h"
#include "activity_report/tags.h"
#include "activity_report/untagged_away.h"
#include "logformat/log_event.h"
#include "logformat/timestamp.h"

#include "clock_changes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

using namespace report;

namespace {

// 2026-03-10T10:00+01:00, in a zone that is always +01:00.
const Clock tenOClock{1'773'133'200'000, [](std::int64_t) { return std::int32_t{60}; }};

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class TagCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("activity-report-tags-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    int tag(std::vector<std::string> arguments, const Clock& at = tenOClock) {
        arguments.insert(arguments.begin(), {"activity-report", "tag"});
        output = {};
        return runReport(arguments, at, folder, output);
    }
    std::string file() const { return bytesOf(folder / tagFileName); }

    std::filesystem::path folder;
    RunOutput output;
};

} // namespace

TEST_F(TagCommandTest, TagsAreAddedListedAndRemovedByAppendingLines) {
    ASSERT_EQ(tag({"--from", "2026-03-09 10:05", "--to", "2026-03-09 10:50", "meeting/standup"}), 0)
        << output.err;
    EXPECT_EQ(output.out, "Tagged 2026-03-09 10:05 to 10:50 as meeting/standup (id tboec0)\n");
    const std::string first = file();
    EXPECT_EQ(first, "{\"id\": \"tboec0\", \"start\": \"2026-03-09T10:05:00.000+01:00\", "
                     "\"end\": \"2026-03-09T10:50:00.000+01:00\", \"label\": "
                     "\"meeting/standup\", \"made\": \"2026-03-10T10:00:00.000+01:00\"}\n");

    // A second tag in the same second gets an id of its own.
    ASSERT_EQ(tag({"--dir", folder.string(), "--from", "2026-03-09 10:40:30.5", "--to",
                   "2026-03-09T11:30", "call \"Ann\""}),
              0)
        << output.err;
    const std::string second = file();
    EXPECT_EQ(second.substr(0, first.size()), first);
    ASSERT_EQ(tag({"--list"}), 0);
    EXPECT_EQ(output.out,
              "Id        From                     To                       Label\n"
              "tboec0    2026-03-09 10:05         2026-03-09 10:50         meeting/standup\n"
              "tboec0-2  2026-03-09 10:40:30.500  2026-03-09 11:30         call \"Ann\"\n");

    ASSERT_EQ(tag({"--remove", "tboec0"}), 0) << output.err;
    EXPECT_EQ(output.out, "Removed tag tboec0: 2026-03-09 10:05 to 10:50 as meeting/standup\n");
    EXPECT_EQ(file(), second + "{\"remove\": \"tboec0\", \"made\": "
                               "\"2026-03-10T10:00:00.000+01:00\"}\n");
    ASSERT_EQ(tag({"--list"}), 0);
    EXPECT_EQ(output.out.find("meeting"), std::string::npos) << output.out;
    EXPECT_NE(output.out.find("tboec0-2"), std::string::npos) << output.out;

    // An id stays taken once its tag is gone: a stale --remove can't hit a new tag.
    ASSERT_EQ(tag({"--remove", "tboec0"}), 2);
    EXPECT_NE(output.err.find("removed already"), std::string::npos) << output.err;
    // A label's levels are a project path's, as in a rule.
    ASSERT_EQ(tag({"--from", "2026-03-09 12:00", "--to", "2026-03-09 13:00", " Home / lunch "}), 0);
    EXPECT_EQ(output.out, "Tagged 2026-03-09 12:00 to 13:00 as Home/lunch (id tboec0-3)\n");
}

TEST_F(TagCommandTest, DamagedLinesAreSkippedAndCountedNeverRewritten) {
    const std::string good = formatTagLine("a1", {1'773'046'800'000, 60}, {1'773'050'400'000, 60},
                                           "Work/Client A", {1'773'050'400'000, 60});
    const std::string damaged =
        "{\"id\": \"a2\", \"start\": \"2026-03-09T10:00:00.000+01:00\"\n"
        "not json at all\n"
        "{\"remove\": \"a1\"}\n" // a removal needs its time
        // and a tag that holds no time
        + formatTagLine("a4", {1'773'046'800'000, 60}, {1'773'046'800'000, 60}, "Zero length",
                        {1'773'050'400'000, 60});
    const std::string cut = "{\"id\": \"a3\", \"start\": \"2026-03-09T1";
    std::ofstream(folder / tagFileName, std::ios::binary) << good << damaged << cut;

    ASSERT_EQ(tag({"--list"}), 0);
    EXPECT_NE(output.out.find("Work/Client A"), std::string::npos) << output.out;
    EXPECT_EQ(output.out.find("Zero length"), std::string::npos) << output.out;
    EXPECT_NE(output.err.find("skipped 5 lines of"), std::string::npos) << output.err;

    // The new line starts on a line of its own after the one cut short.
    ASSERT_EQ(tag({"--from", "2026-03-09 12:00", "--to", "2026-03-09 13:00", "lunch"}), 0);
    const std::string after = file();
    ASSERT_EQ(after.substr(0, good.size() + damaged.size() + cut.size() + 1),
              good + damaged + cut + "\n");
    ASSERT_EQ(tag({"--list"}), 0);
    EXPECT_NE(output.out.find("lunch"), std::string::npos) << output.out;
    EXPECT_NE(output.out.find("Work/Client A"), std::string::npos) << output.out;
}

TEST_F(TagCommandTest, BadTagsAreRefusedAndLeaveNoLine) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::string from = "2026-03-09 10:00", to = "2026-03-09 11:00";
    const Case cases[] = {
        {{"--from", to, "--to", from, "x"}, 2, "is not after --from"},
        {{"--from", from, "--to", from, "x"}, 2, "is not after --from"},
        {{"--from", from, "--to", to, ""}, 2, "needs a label"},
        {{"--from", from, "--to", to, "  "}, 2, "needs a label"},
        {{"--from", from, "--to", to, "Work//A"}, 2, "can't be empty"},
        {{"--from", from, "--to", to, "Work/"}, 2, "can't be empty"},
        {{"--from", from, "--to", to, "a\x1b[31mb"}, 2, "control characters"},
        {{"--from", from, "--to", to, "caf\xE9"}, 2, "isn't UTF-8"},
        {{"--from", from, "--to", to}, 2, "needs --from and --to (or --last) and a label"},
        {{"--from", from, "x"}, 2, "needs --from and --to (or --last) and a label"},
        {{"--last", "30m"}, 2, "needs --from and --to (or --last) and a label"},
        {{"--from", "10:0", "--to", to, "x"}, 2, "--from: not a time of the form"},
        {{"--last", "30m", "--from", from, "x"}, 2, "excludes"},
        {{"--last", "0s", "x"}, 2, "--last: \"0s\" is no time"},
        {{"--last", "half an hour", "x"}, 2, "--last: not a duration"},
        {{"--from", "10:30", "--to", "10:15", "x"}, 2, "is not after --from"},
        {{"--from", from, "--to", "2026-03-09 25:00", "x"}, 2, "--to: not a time"},
        {{"--from", "2026-03-09 10:00+99:00", "--to", to, "x"},
         2,
         "--from: no time zone is +99:00"},
        {{"--from", from, "--to", "2026-03-09 11:00-14:30", "x"}, 2, "between -14:00 and +14:00"},
        {{"--remove", "nope"}, 2, "no tag has the id nope"},
        {{"--list", "--remove", "x"}, 2, "--remove"},
        {{"--from", from, "--to", to, "x", "--frobnicate"}, 2, "--frobnicate"},
        {{"--dir", "/no/such/folder", "--list"}, 1, "no log folder at /no/such/folder"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tag(c.arguments), c.status) << c.arguments[0] << " " << c.arguments.back();
        EXPECT_NE(output.err.find(c.message), std::string::npos) << output.err;
        EXPECT_TRUE(output.out.empty()) << output.out;
        EXPECT_FALSE(std::filesystem::exists(folder / tagFileName));
    }
    std::filesystem::create_directories(folder / "second");
    EXPECT_EQ(tag({"--dir", folder.string(), "--dir", (folder / "second").string(), "--from", from,
                   "--to", to, "x"}),
              2);
    EXPECT_NE(output.err.find("give one --dir"), std::string::npos) << output.err;
}

// A tag said as people say it: the last half hour, or times of today.
TEST_F(TagCommandTest, TheLastMinutesAndTimesOfToday) {
    const std::int64_t now = tenOClock.nowMs, minute = 60'000;
    struct Case {
        std::vector<std::string> arguments;
        std::int64_t fromMs, toMs;
        std::string said; // what the command answers
    };
    const Case cases[] = {
        {{"--last", "30m"}, now - 30 * minute, now, "Tagged 2026-03-10 09:30 to 10:00 as x"},
        {{"--last", "90"}, now - 90'000, now, "Tagged 2026-03-10 09:58:30 to 10:00 as x"},
        {{"--last", "1.5h"}, now - 90 * minute, now, "Tagged 2026-03-10 08:30 to 10:00 as x"},
        {{"--from", "9:05", "--to", "09:50"},
         now - 55 * minute,
         now - 10 * minute,
         "Tagged 2026-03-10 09:05 to 09:50 as x"},
        {{"--from", "2026-3-9 23:00", "--to", "0:30"},
         now - 11 * 60 * minute,
         now - 9 * 60 * minute - 30 * minute,
         "Tagged 2026-03-09 23:00 to 2026-03-10 00:30 as x"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("x");
        ASSERT_EQ(tag(arguments), 0) << c.arguments[1] << ": " << output.err;
        EXPECT_EQ(output.out.rfind(c.said, 0), 0u) << output.out;
        ASSERT_EQ(tag({"--list"}), 0);
        const auto file = readTagFile(folder);
        ASSERT_TRUE(file);
        ASSERT_FALSE(file->tags.empty());
        EXPECT_EQ(file->tags.back().fromMs, c.fromMs) << c.arguments[1];
        EXPECT_EQ(file->tags.back().toMs, c.toMs) << c.arguments[1];
    }
}

// Where the clocks change, a tag's ends are the moments the parser names, as forget's.
TEST_F(TagCommandTest, LocalTimesWhereTheClocksChange) {
    const Clock december{1'796'101'200'000, test_support::newYork}; // 2026-12-01 00:00-05:00
    for (const auto& c : test_support::clockChanges) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(tag({"--from", c.text, "--to", "2026-12-01 00:00", "x"}, december), 0)
            << output.err;
        const std::string lines = file();
        const std::string last = lines.substr(lines.rfind('\n', lines.size() - 2) + 1);
        const auto start =
            logformat::parseTimestamp(last.substr(last.find("\"start\": \"") + 10, 29));
        ASSERT_TRUE(start) << last;
        EXPECT_EQ(start->unixMs, c.unixMs) << last;
    }
    // Both ends in the hour skipped are one moment: said so.
    EXPECT_EQ(tag({"--from", "2026-03-08 02:10", "--to", "2026-03-08 02:50", "x"}, december), 2);
    EXPECT_NE(output.err.find("(the clocks skipped 2026-03-08 02:10: it is the moment they "
                              "jumped, 2026-03-08 03:00)"),
              std::string::npos)
        << output.err;
}

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;

std::string clockText(std::int64_t unixMs) {
    // The committed day is at +01:00.
    const std::int64_t inDay = (unixMs + 3'600'000) % 86'400'000;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(inDay / 3'600'000),
                  static_cast<int>(inDay / 60'000 % 60), static_cast<int>(inDay / 1000 % 60));
    return text;
}

std::vector<std::string> stretchesOf(const std::vector<std::string>& folders) {
    ReportOptions options;
    std::vector<Tag> tags;
    for (const std::string& folder : folders) {
        options.directories.push_back(logs / folder);
        const auto file = readTagFile(logs / folder);
        tags.insert(tags.end(), file->tags.begin(), file->tags.end());
    }
    options.first = options.last = logformat::CivilDate{2026, 3, 9};
    ReadCounts counts;
    std::vector<std::string> lines;
    const char* const presences[] = {"unrecorded", "unavailable", "no window", "away", "active"};
    forEachDay(options, Clock{1'800'000'000'000, [](std::int64_t) { return 60; }}, counts,
               [&](const Day& day) {
                   const auto stretches =
                       attributeDay(day, tags, [](const Piece& piece) -> std::string_view {
                           return piece.event.app;
                       });
                   for (const Stretch& s : stretches) {
                       lines.push_back(clockText(s.fromMs) + " " + clockText(s.toMs) + " " +
                                       presences[static_cast<int>(s.presence)] +
                                       (s.label.empty() ? "" : " ") + s.label +
                                       (s.tagged ? " (tag)" : ""));
                   }
               });
    return lines;
}

} // namespace

// The committed tags: a stand-up over active and idle time, a call over the end of an
// active spell, locked, no-window, unavailable and unrecorded time and the start of the
// next, a review made after both over the overlap of the two, a removed tag, a tag
// ending before it starts, and a line cut short.
TEST(TagAttribution, TagsHoldTheirTimeWhateverWasRecorded) {
    struct Case {
        const char* what;
        std::vector<std::string> folders;
        std::vector<std::string> stretches;
    };
    const Case cases[] = {
        {"one machine",
         {"tagged"},
         {"00:00:00 09:00:00 unrecorded", "09:00:00 10:00:00 active Microsoft Word",
          "10:00:00 10:15:00 active Microsoft Edge",
          "10:15:00 10:30:00 active meeting/standup (tag)",
          "10:30:00 10:45:00 away meeting/standup (tag)",
          "10:45:00 10:50:00 active meeting/standup (tag)",
          "10:50:00 11:15:00 active Work/Client A/review (tag)",
          "11:15:00 11:20:00 away Work/Client A/review (tag)",
          "11:20:00 11:21:00 no window call (tag)", "11:21:00 11:21:30 unavailable call (tag)",
          "11:21:30 12:00:00 unrecorded call (tag)", "12:00:00 12:10:00 active call (tag)",
          "12:10:00 12:40:00 active Microsoft Word", "12:40:00 23:50:00 unrecorded",
          "23:50:00 00:00:00 active Visual Studio Code"}},
        {"two machines: each moment once, the window brought to the front last",
         {"tagged", "other-machine"},
         {"00:00:00 09:00:00 unrecorded", "09:00:00 09:30:00 active Microsoft Word",
          "09:30:00 10:00:00 active Microsoft Teams", "10:00:00 10:15:00 active Microsoft Edge",
          "10:15:00 10:50:00 active meeting/standup (tag)",
          "10:50:00 11:15:00 active Work/Client A/review (tag)",
          "11:15:00 11:20:00 away Work/Client A/review (tag)",
          "11:20:00 11:21:00 no window call (tag)", "11:21:00 11:21:30 unavailable call (tag)",
          "11:21:30 11:30:00 unrecorded call (tag)", "11:30:00 11:50:00 active call (tag)",
          "11:50:00 12:00:00 unrecorded call (tag)", "12:00:00 12:10:00 active call (tag)",
          "12:10:00 12:40:00 active Microsoft Word", "12:40:00 23:50:00 unrecorded",
          "23:50:00 00:00:00 active Visual Studio Code"}},
        {"no tags", {"basic"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> got = stretchesOf(c.folders);
        if (c.stretches.empty()) {
            EXPECT_EQ(std::count_if(got.begin(), got.end(),
                                    [](const std::string& s) {
                                        return s.find("(tag)") != std::string::npos;
                                    }),
                      0);
            continue;
        }
        EXPECT_EQ(got, c.stretches);
    }
}

// Two tags made in the same moment (two machines, or a script) that overlap: the later
// line of the file holds the overlap, as a tag made later would.
TEST(TagAttribution, OfTwoTagsMadeAtOnceTheLaterLineHoldsTheOverlap) {
    constexpr std::int64_t ten = 1'773'046'800'000, minute = 60'000; // 2026-03-09 10:00+01:00
    const logformat::Timestamp made{ten + 600 * minute, 60};
    const TagFile file = parseTagFile(
        formatTagLine("b1", {ten, 60}, {ten + 30 * minute, 60}, "first", made) +
        formatTagLine("b2", {ten + 15 * minute, 60}, {ten + 45 * minute, 60}, "second", made));
    ASSERT_EQ(file.tags.size(), 2u);
    const std::vector<Tag> tags = tagsByMadeTime(file.tags);
    std::vector<std::string> got;
    for (const TagSpan& span : tagSpans(tags, ten, ten + 60 * minute)) {
        got.push_back(std::to_string((span.fromMs - ten) / minute) + "-" +
                      std::to_string((span.toMs - ten) / minute) + " " + span.tag->label);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"0-15 first", "15-45 second"}));
}

TEST(TagAttribution, TheCoverageLineSaysHowMuchTimeTagsHold) {
    for (const char* by : {"app", "category", "title"}) {
        RunOutput output;
        ASSERT_EQ(runReport({"activity-report", "--no-cache", "--dir", (logs / "tagged").string(),
                             "--day", "2026-03-09", "--by", by},
                            tenOClock, logs, output),
                  0);
        EXPECT_NE(output.out.find("tags over 1:55:00"), std::string::npos) << output.out;
        EXPECT_NE(output.err.find("skipped 2 lines of tags.jsonl"), std::string::npos)
            << output.err;
        ASSERT_EQ(runReport({"activity-report", "--no-cache", "--dir", (logs / "tagged").string(),
                             "--day", "2026-03-09", "--by", by, "--format", "json"},
                            tenOClock, logs, output),
                  0);
        EXPECT_NE(output.out.find("\"tagged_seconds\": 6900.000"), std::string::npos) << output.out;
    }
    // A day no tag touches says nothing of tags.
    RunOutput output;
    ASSERT_EQ(runReport({"activity-report", "--no-cache", "--dir", (logs / "basic").string(),
                         "--day", "2026-03-09"},
                        tenOClock, logs, output),
              0);
    EXPECT_EQ(output.out.find("tags"), std::string::npos) << output.out;
}

// With --by project a tag's time counts under its label (cut to --depth), whatever was
// recorded under it and whatever the rules say of it; the other groupings are unchanged.
TEST(TagTotals, TaggedTimeCountsUnderTheTagsLabelByProject) {
    const std::string rules = (std::filesystem::path(REPORT_TEST_RULES) / "basic.toml").string();
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::string csv;
    };
    const Case cases[] = {
        {"no rules: the rest is Uncategorised",
         {"--by", "project"},
         "project,seconds,percent\r\n"
         "Uncategorised,6900.000,50.0\r\n"
         "call,3000.000,21.7\r\n"
         "meeting/standup,2100.000,15.2\r\n"
         "Work/Client A/review,1800.000,13.0\r\n"},
        {"rules, rolled up: the tag's project, not the rule's, for active time under it",
         {"--by", "project", "--rules", rules, "--depth", "2"},
         "project,seconds,percent\r\n"
         "Work/Client A,7200.000,52.2\r\n"
         "call,3000.000,21.7\r\n"
         "meeting/standup,2100.000,15.2\r\n"
         "Uncategorised,900.000,6.5\r\n"
         "Work/Code,600.000,4.3\r\n"},
        {"a tag's label cut to the depth as a rule's project is",
         {"--by", "project", "--rules", rules, "--depth", "1"},
         "project,seconds,percent\r\n"
         "Work,7800.000,56.5\r\n"
         "call,3000.000,21.7\r\n"
         "meeting,2100.000,15.2\r\n"
         "Uncategorised,900.000,6.5\r\n"},
        {"every state: away time a tag holds is in its row, not its state's",
         {"--by", "project", "--include-away"},
         "project,seconds,percent\r\n"
         "Uncategorised,6900.000,50.0\r\n"
         "call,3000.000,21.7\r\n"
         "meeting/standup,2100.000,15.2\r\n"
         "Work/Client A/review,1800.000,13.0\r\n"},
        {"two machines: each event's own time outside tags, the tagged time once",
         {"--by", "project", "--dir", (logs / "other-machine").string()},
         "project,seconds,percent\r\n"
         "Uncategorised,9600.000,58.2\r\n"
         "call,3000.000,18.2\r\n"
         "meeting/standup,2100.000,12.7\r\n"
         "Work/Client A/review,1800.000,10.9\r\n"},
        {"by app: the table as without tags",
         {"--by", "app"},
         "app,seconds,percent\r\n"
         "Microsoft Word,6000.000,58.8\r\n"
         "Visual Studio Code,2400.000,23.5\r\n"
         "Microsoft Edge,1800.000,17.6\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> arguments = {
            "activity-report", "--no-cache", "--dir",    (logs / "tagged").string(),
            "--day",           "2026-03-09", "--format", "csv"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunOutput output;
        ASSERT_EQ(runReport(arguments, tenOClock, logs, output), 0) << output.err;
        EXPECT_EQ(output.out, c.csv);
    }
}

TEST(UntaggedAway, ArgumentsQuotedForEachShell) {
    struct Case {
        std::string argument;
        std::string posix;
        std::string windows;
    };
    const Case cases[] = {
        {"log", "log", "log"},
        {"2026-03-09 10:15", "\"2026-03-09 10:15\"", "\"2026-03-09 10:15\""},
        {"/home/ann/my log", "\"/home/ann/my log\"", "\"/home/ann/my log\""},
        {"ann's log", "'ann'\\''s log'", "\"ann's log\""},
        {"$HOME/`x`!", "'$HOME/`x`!'", "\"$HOME/`x`!\""},
        {"C:\\Users\\ann\\log", "'C:\\Users\\ann\\log'", "C:\\Users\\ann\\log"},
        {"C:\\My logs\\", "'C:\\My logs\\'", "\"C:\\My logs\\\\\""},
        {"", "\"\"", "\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shellQuoted(c.argument, ShellStyle::posix), c.posix) << c.argument;
        EXPECT_EQ(shellQuoted(c.argument, ShellStyle::windows), c.windows) << c.argument;
    }
}

// A spell that ends within a second: its command's --to is the next whole second, so
// that the command, pasted as printed, leaves none of the spell untagged.
TEST_F(TagCommandTest, UntaggedAwayCommandCoversASpellEndingWithinASecond) {
    const std::filesystem::path log = folder / "log";
    std::filesystem::create_directories(log);
    // Word from 09:00, away from 09:30:00.4 to 09:40:00.6, Word again to 10:00.
    constexpr std::int64_t nine = 1'773'043'200'000; // 2026-03-09 09:00+01:00
    const auto event = [](std::int64_t fromMs, std::int64_t toMs, logformat::ActivityState state) {
        logformat::LogEvent e;
        e.start = {nine + fromMs, 60};
        e.end = {nine + toMs, 60};
        e.state = state;
        if (state == logformat::ActivityState::active) {
            e.title = e.app = "Word";
            e.pid = 1;
        }
        return logformat::formatLogEvent(e);
    };
    std::ofstream(log / "2026-03-09.jsonl", std::ios::binary)
        << event(0, 1'800'400, logformat::ActivityState::active)
        << event(1'800'400, 2'400'600, logformat::ActivityState::idle)
        << event(2'400'600, 3'600'000, logformat::ActivityState::active);
    const auto untagged = [&] {
        output = {};
        EXPECT_EQ(runReport({"activity-report", "--no-cache", "--dir", log.string(), "--day",
                             "2026-03-09", "--untagged-away", "0"},
                            tenOClock, folder, output),
                  0)
            << output.err;
        return output.out;
    };
    const std::string before = untagged();
    EXPECT_NE(before.find("\n2026-03-09 09:30 to 09:40:01  0:10:00  away\n"), std::string::npos)
        << before;
    const std::size_t at = before.find("--from \"2026-03-09 09:30\"");
    ASSERT_NE(at, std::string::npos) << before;
    const std::size_t start = before.rfind("activity-report tag ", at);
    const std::string command = before.substr(start, before.find('\n', at) - start);

    // The command's words, as a shell would split them.
    std::vector<std::string> words;
    bool quoted = false, inWord = false;
    for (const char c : command) {
        if (c == ' ' && !quoted) {
            inWord = false;
            continue;
        }
        if (!inWord) {
            words.emplace_back();
            inWord = true;
        }
        if (c == '"') {
            quoted = !quoted;
        } else {
            words.back() += c;
        }
    }
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(words.back(), "LABEL");
    words.back() = "coffee";
    ASSERT_EQ(tag(std::vector<std::string>(words.begin() + 2, words.end())), 0) << output.err;

    const std::string after = untagged();
    EXPECT_EQ(after.find("09:3"), std::string::npos) << after;
    EXPECT_EQ(after.find("09:4"), std::string::npos) << after;
}

// A spell or a part of one shorter than a second (the collector started while the
// desktop was already idle) is not listed as "away 0:00:00"; the spell's time stays exact.
TEST_F(TagCommandTest, UntaggedAwayListsNothingShorterThanASecond) {
    const std::filesystem::path log = folder / "log";
    std::filesystem::create_directories(log);
    constexpr std::int64_t nine = 1'773'043'200'000; // 2026-03-09 09:00+01:00
    const auto event = [](std::int64_t fromMs, std::int64_t toMs, logformat::ActivityState state) {
        logformat::LogEvent e;
        e.start = {nine + fromMs, 60};
        e.end = {nine + toMs, 60};
        e.state = state;
        if (state == logformat::ActivityState::active) {
            e.title = e.app = "Word";
            e.pid = 1;
        }
        return logformat::formatLogEvent(e);
    };
    constexpr std::int64_t hour = 3'600'000;
    // Idle for 17 ms at the start, then for 400 ms between two hours of Word.
    std::ofstream(log / "2026-03-09.jsonl", std::ios::binary)
        << event(0, 17, logformat::ActivityState::idle)
        << event(17, hour, logformat::ActivityState::active)
        << event(hour, hour + 400, logformat::ActivityState::idle)
        << event(hour + 400, 2 * hour, logformat::ActivityState::active);
    output = {};
    ASSERT_EQ(runReport({"activity-report", "--no-cache", "--dir", log.string(), "--day",
                         "2026-03-09", "--untagged-away", "0"},
                        tenOClock, folder, output),
              0)
        << output.err;
    EXPECT_NE(output.out.find("\n2026-03-09 00:00 to 09:00:01  9:00:00  not recorded\n"),
              std::string::npos)
        << output.out;
    EXPECT_EQ(output.out.find("0:00:00"), std::string::npos) << output.out;
    EXPECT_EQ(output.out.find("10:00 to"), std::string::npos) << output.out;
    EXPECT_NE(output.out.find("\n2026-03-09 11:00 to 2026-03-10 00:00  13:00:00  not recorded\n"),
              std::string::npos)
        << output.out;
}

TEST_F(TagCommandTest, UntaggedAwayListsWhatNoTagHoldsReadyToTag) {
    // A folder whose name a shell must be told about.
    const std::filesystem::path log = folder / "ann's log";
    std::filesystem::create_directories(log);
    std::filesystem::copy_file(logs / "basic" / "2026-03-09.jsonl", log / "2026-03-09.jsonl");
    const std::string dir = shellQuoted(log.string(), hostShellStyle());
    const auto command = [&](const std::string& from, const std::string& to) {
        return "  activity-report tag --dir " + dir + " --from \"2026-03-09 " + from +
               "\" --to \"2026-03-09 " + to + "\" LABEL\n";
    };
    const auto untagged = [&](const std::string& minutes) {
        output = {};
        EXPECT_EQ(runReport({"activity-report", "--no-cache", "--dir", log.string(), "--day",
                             "2026-03-09", "--untagged-away", minutes},
                            tenOClock, folder, output),
                  0)
            << output.err;
        return output.out;
    };
    EXPECT_EQ(untagged("10"),
              "Away or unrecorded longer than 10 minutes with no tag, 2026-03-09:\n"
              "\n2026-03-09 00:30 to 09:00  8:30:00  not recorded\n" +
                  command("00:30", "09:00") + "\n2026-03-09 10:30 to 10:45  0:15:00  away\n" +
                  command("10:30", "10:45") +
                  "\n2026-03-09 11:15 to 12:00  0:45:00  away 0:05:00, no window 0:01:00, "
                  "unavailable 0:00:30, not recorded 0:38:30\n" +
                  command("11:15", "12:00") +
                  "\n2026-03-09 12:40 to 23:50  11:10:00  not recorded\n" +
                  command("12:40", "23:50"));

    // Tag what the commands say: the spells tagged are no longer listed, and a spell
    // part-tagged leaves its untagged rest.
    ASSERT_EQ(tag({"--dir", log.string(), "--from", "2026-03-09 10:30", "--to", "2026-03-09 10:45",
                   "coffee"}),
              0);
    ASSERT_EQ(tag({"--dir", log.string(), "--from", "2026-03-09 11:15", "--to", "2026-03-09 11:40",
                   "meeting"}),
              0);
    EXPECT_EQ(untagged("20"), "Away or unrecorded longer than 20 minutes with no tag, 2026-03-09:\n"
                              "\n2026-03-09 00:30 to 09:00  8:30:00  not recorded\n" +
                                  command("00:30", "09:00") +
                                  "\n2026-03-09 12:40 to 23:50  11:10:00  not recorded\n" +
                                  command("12:40", "23:50"));
    EXPECT_NE(untagged("15").find("11:40 to 12:00  0:20:00  not recorded"), std::string::npos)
        << output.out;
    EXPECT_EQ(untagged("1000"),
              "No time away or unrecorded longer than 1000 minutes without a tag, 2026-03-09.\n");
}

// A project path of more levels than a table can show, wherever it is named: the tag
// command and a rules file refuse it, a tags.jsonl line holding it is a damaged line. A
// path at the bound is taken and shown, each level indented under its parent.
TEST_F(TagCommandTest, ProjectPathsAreBoundedInLevelsWhereverTheyAreNamed) {
    const auto levels = [](std::size_t count) {
        std::string path = "a";
        for (std::size_t level = 1; level < count; ++level) {
            path += "/a";
        }
        return path;
    };
    const std::string from = "2026-03-09 10:00", to = "2026-03-09 11:00";
    const std::string tooDeep = "more than " + std::to_string(maxProjectLevels) + " levels";
    struct Source {
        const char* what;
        std::function<bool(const std::string& path)> taken;
    };
    const Source sources[] = {
        {"the tag command",
         [&](const std::string& path) {
             std::filesystem::remove(folder / tagFileName);
             const int status = tag({"--from", from, "--to", to, path});
             EXPECT_TRUE(status == 0 || output.err.find(tooDeep) != std::string::npos)
                 << output.err.substr(0, 200);
             EXPECT_LT(output.err.size(), 400u); // the label quoted, cut short
             return status == 0;
         }},
        {"a line of tags.jsonl",
         [&](const std::string& path) {
             std::ofstream(folder / tagFileName, std::ios::binary | std::ios::trunc)
                 << formatTagLine("a1", {1'773'046'800'000, 60}, {1'773'050'400'000, 60}, path,
                                  {1'773'050'400'000, 60});
             const auto file = readTagFile(folder);
             EXPECT_TRUE(file && file->tags.size() + file->skippedLines == 1);
             RunOutput report;
             EXPECT_EQ(runReport({"activity-report", "--no-cache", "--dir", folder.string(),
                                  "--day", "2026-03-09", "--by", "project"},
                                 tenOClock, folder, report),
                       0);
             return file && file->tags.size() == 1;
         }},
        {"a rules file",
         [&](const std::string& path) {
             const RulesRead read = parseRules("[[rule]]\nproject = \"" + path + "\"\n", "r.toml");
             EXPECT_TRUE(read.rules || read.error.find(tooDeep) != std::string::npos)
                 << read.error.substr(0, 200);
             return read.rules.has_value();
         }},
    };
    std::filesystem::copy(std::filesystem::path(REPORT_TEST_LOGS) / "basic" / "2026-03-09.jsonl",
                          folder);
    for (const Source& source : sources) {
        SCOPED_TRACE(source.what);
        EXPECT_TRUE(source.taken(levels(maxProjectLevels)));
        EXPECT_FALSE(source.taken(levels(maxProjectLevels + 1)));
        EXPECT_FALSE(source.taken(levels(60'000)));
    }

    ASSERT_EQ(tag({"--from", from, "--to", to, levels(maxProjectLevels)}), 0);
    RunOutput report;
    ASSERT_EQ(runReport({"activity-report", "--no-cache", "--dir", folder.string(), "--day",
                         "2026-03-09", "--by", "project"},
                        tenOClock, folder, report),
              0);
    EXPECT_NE(report.out.find("\n" + std::string(2 * (maxProjectLevels - 1), ' ') + "a "),
              std::string::npos)
        << report.out;
}

// However deep the paths it is given, the tree is made without recursion, a row a level.
TEST(ProjectTree, AnyDepthMakesARowALevel) {
    for (const std::size_t depth : {std::size_t{1}, std::size_t{3}, std::size_t{60'000}}) {
        std::string path = "a";
        for (std::size_t level = 1; level < depth; ++level) {
            path += level % 2 == 0 ? "/a" : "/b";
        }
        const std::vector<TreeRow> tree = projectTree({Row{path, 1000}, Row{"c/d", 3000}});
        ASSERT_EQ(tree.size(), depth + 2);
        EXPECT_EQ(tree[0].label, "c"); // the larger first
        EXPECT_EQ(tree[1].level, 1);
        EXPECT_EQ(tree[2].label, "a");
        EXPECT_EQ(tree.back().level, static_cast<int>(depth) - 1);
        EXPECT_EQ(tree.back().ms, 1000);
    }
}
