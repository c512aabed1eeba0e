// The command line as a user meets it: selections, errors and their exit statuses.
#include "activity_report/classifier.h"
#include "activity_report/command_line.h"
#include "activity_report/render.h"
#include "activity_report/run_report.h"
#include "activity_report/tags.h"
#include "activity_report/text_width.h"
#include "logformat/log_event.h"
#include "logformat/summary_files.h"
#include "logformat/timestamp.h"

#include "clock_changes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>

using namespace report;

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;

// 2026-03-10T10:00+01:00, in a zone that is always +01:00.
const Clock clock{1'773'133'200'000, [](std::int64_t) { return std::int32_t{60}; }};

struct ReportRun {
    int status;
    RunOutput output;
};

ReportRun run(std::vector<std::string> arguments,
              const std::filesystem::path& defaultDirectory = logs / "basic") {
    arguments.insert(arguments.begin(), "activity-report");
    // The committed logs are never written to: no summaries beside them.
    arguments.push_back("--no-cache");
    ReportRun result{};
    result.status = runReport(arguments, clock, defaultDirectory, result.output);
    return result;
}

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string basic() {
    return (logs / "basic").string();
}

} // namespace

TEST(ReportCommandLine, BadCommandLinesAndMissingFoldersSayWhy) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--frobnicate"}, 2, "--frobnicate"},
        {{"--day", "2026-02-30"}, 2, "not a day"},
        {{"--day", "tomorrow"}, 2, "--day: not a day (today, yesterday, -N"},
        {{"--day", "2026-3-32"}, 2, "--day: not a day"},
        {{"--from", "2026-03-10", "--to", "2026-03-09"}, 2, "is after --to"},
        {{"--from", "2026-03-10 10:00", "--to", "2026-03-10 10:00"}, 2, "is after --to"},
        {{"--from", "9:00", "--to", "2026-03-09"}, 2, "is after --to"},
        {{"--to", "2026-03-01"}, 2, "--to requires --from"},
        {{"--from", "25:00"}, 2, "--from: not a day (today, yesterday, -N (days ago) or "},
        {{"--from", "2026-03-09 10:00+99:00"}, 2, "no time zone is +99:00"},
        {{"--month", "--last-week"}, 2, "one way at a time, not by --last-week, --month ("},
        {{"--last", "7", "--from", "2026-03-01"}, 2, "one way at a time, not by --from, --last"},
        {{"--last", "0"}, 2, "--last"},
        {{"--week-starts", "funday", "--week"}, 2, "--week-starts: not a day of the week: funday"},
        {{"--week-starts", "sun"}, 2, "--week-starts is for --week and --last-week"},
        {{"--format", "timesheet", "--round", "90s"}, 2, "--round: 90s is not a whole number"},
        {{"--format", "timesheet", "--round", "0"}, 2, "--round: \"0\" is too short: at least 1m"},
        {{"--format", "timesheet", "--merge-gap", "-5"}, 2, "--merge-gap: a duration can't be"},
        {{"--untagged-away", "soon"},
         2,
         "--untagged-away: not a duration: \"soon\" (a number of minutes"},
        {{"--day", "2026-03-09", "--week"}, 2, "--week"},
        {{"--by", "colour"}, 2, "colour"},
        {{"--format", "xml"}, 2, "xml"},
        {{"--dir", basic(), "--dir", (logs / "no-such-folder").string()}, 1, "no-such-folder"},
        {{"--html", (logs / "no-such-folder" / "page.html").string()}, 1, "can't write"},
    };
    for (const Case& c : cases) {
        const ReportRun result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments[0];
        EXPECT_NE(result.output.err.find(c.message), std::string::npos) << result.output.err;
        EXPECT_TRUE(result.output.out.empty());
    }
    const ReportRun missingDefault = run({}, logs / "never-written");
    EXPECT_EQ(missingDefault.status, 1);
    EXPECT_NE(missingDefault.output.err.find("no log folder at"), std::string::npos);
}

TEST(ReportCommandLine, HelpListsEveryOption) {
    const ReportRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--dir", "--day", "--from", "--to", "--week", "--by",
                               "--include-away", "--format", "--html", "--help"}) {
        EXPECT_NE(help.output.out.find(option), std::string::npos) << option;
    }
}

TEST(ReportCommandLine, DefaultSelectionsEndToday) {
    struct Case {
        std::vector<std::string> arguments;
        std::string heading;
    };
    const Case cases[] = {
        {{}, "Time by app, 2026-03-10, active time"},
        {{"--week"}, "Time by app, 2026-03-09 to 2026-03-15, active time"},
        {{"--from", "2026-03-09", "--to", "2026-03-09", "--by", "folder"},
         "Time by folder, 2026-03-09, active time"},
        {{"--day", "2026-03-09", "--include-away", "--dir", basic()},
         "Time by app, 2026-03-09, every state"},
        // Cut at a time of day, the heading says where.
        {{"--from", "9:30"}, "Time by app, 2026-03-10 from 09:30, active time"},
        {{"--from", "2026-03-09", "--to", "2026-3-9 12:00"},
         "Time by app, 2026-03-09 until 12:00, active time"},
        {{"--from", "2026-03-09 09:20", "--to", "2026-03-09 10:00:30"},
         "Time by app, 2026-03-09 09:20 to 10:00:30, active time"},
        {{"--from", "2026-03-08 22:00", "--to", "2026-03-09 10:00"},
         "Time by app, 2026-03-08 22:00 to 2026-03-09 10:00, active time"},
        {{"--from", "2026-03-08 22:00", "--to", "yesterday"},
         "Time by app, 2026-03-08 22:00 to 2026-03-09, active time"},
    };
    for (const Case& c : cases) {
        const ReportRun result = run(c.arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.out.substr(0, result.output.out.find('\n')), c.heading);
    }
    // Today up to now: the truncated line is counted, and the open event is in.
    const ReportRun today = run({"--format", "csv"});
    EXPECT_EQ(today.output.out, "app,seconds,percent\r\n"
                                "Visual Studio Code,3600.000,57.1\r\n"
                                "Windows Terminal,1800.000,28.6\r\n"
                                "Microsoft Edge,900.000,14.3\r\n");
    EXPECT_NE(today.output.err.find("skipped 1 line "), std::string::npos) << today.output.err;
}

TEST(ReportCommandLine, EventsFiledUnderALaterDayAreLeftOutAndCounted) {
    // 2026-03-10.jsonl holds an event of 03-09, which the collector never writes.
    const std::string misplaced = (logs / "misplaced").string();
    struct Case {
        std::vector<std::string> arguments;
        std::string out, err;
    };
    const Case cases[] = {
        {{"--from", "2026-03-09", "--to", "2026-03-10"},
         "app,seconds,percent\r\nMicrosoft Word,5400.000,100.0\r\n",
         "activity-report: left out 1 event filed under a later day than its own\n"},
        // Its day isn't selected: nothing is left out of the selection.
        {{"--day", "2026-03-10"}, "app,seconds,percent\r\nMicrosoft Word,1800.000,100.0\r\n", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--dir", misplaced, "--format", "csv"});
        const ReportRun result = run(arguments);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output.out, c.out);
        EXPECT_EQ(result.output.err, c.err);
    }
}

TEST(ReportText, BarsInEighthsOfAColumn) {
    struct Case {
        const char* name;
        std::int64_t ms; // of an hour
        std::string bar;
    };
    const std::string full = "\xE2\x96\x88";
    const auto fulls = [&](int count) {
        std::string out;
        for (int i = 0; i < count; ++i) {
            out += full;
        }
        return out;
    };
    const Case cases[] = {
        {"whole", 3'600'000, fulls(25)},
        {"half", 1'800'000, fulls(12) + "\xE2\x96\x8C"},
        {"nearly whole", 3'599'000, fulls(24) + "\xE2\x96\x89"},
        {"one eighth of a column", 18'000, "\xE2\x96\x8F"},
        {"less", 17'000, ""},
    };
    Summary summary;
    for (const Case& c : cases) {
        summary.table.rows.push_back({c.name, c.ms});
    }
    summary.table.totalMs = 3'600'000;
    std::istringstream lines(renderText(summary));
    std::string line;
    std::size_t found = 0;
    while (std::getline(lines, line)) {
        for (const Case& c : cases) {
            if (line.rfind(std::string(c.name) + "  ", 0) == 0) {
                ++found;
                const std::size_t share = line.find('%');
                ASSERT_NE(share, std::string::npos) << line;
                const std::string bar = line.substr(share + 1);
                EXPECT_EQ(bar, c.bar.empty() ? "" : "  " + c.bar) << c.name;
            }
        }
    }
    EXPECT_EQ(found, std::size(cases));
}

TEST(ReportText, FitsEightyColumnsWhateverTheNames) {
    for (const char* by : {"app", "title", "doc", "folder"}) {
        const ReportRun result = run({"--dir", (logs / "hostile").string(), "--day", "2026-03-11",
                                      "--by", by, "--include-away"});
        ASSERT_EQ(result.status, 0);
        std::istringstream lines(result.output.out);
        std::string line;
        int rows = 0;
        while (std::getline(lines, line)) {
            EXPECT_LE(displayWidth(line), 79u) << line;
            // No escape sequence reaches the terminal.
            EXPECT_EQ(line.find('\x1b'), std::string::npos) << line;
            rows += line.find(':') != std::string::npos && line.find('%') != std::string::npos;
        }
        EXPECT_GE(rows, 4) << result.output.out;
    }
}

TEST(ReportText, ColumnsOfUtf8Text) {
    struct Case {
        std::string text;
        std::size_t width;
        std::size_t fitTo;
        std::string fitted;
    };
    const Case cases[] = {
        {"Word", 4, 10, "Word"},
        {"Microsoft Word", 14, 10, "Microsoft\xE2\x80\xA6"},
        {"\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8", 6, 5, "\xE5\xA0\xB1\xE5\x91\x8A\xE2\x80\xA6"},
        {"e\xCC\x81t\xC3\xA9", 3, 3, "e\xCC\x81t\xC3\xA9"},             // combining accent
        {"\xF0\x9F\x98\x80!", 3, 2, "\xE2\x80\xA6"},                    // emoji is wide
        {"caf\xC3\xA9 \xEF\xBC\xA1", 7, 6, "caf\xC3\xA9 \xE2\x80\xA6"}, // full-width A
    };
    for (const Case& c : cases) {
        EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
        EXPECT_EQ(fitColumns(c.text, c.fitTo), c.fitted) << c.text;
        EXPECT_LE(displayWidth(fitColumns(c.text, c.fitTo)), c.fitTo);
    }
    // Each range's edges: its last code point, and the one after it.
    const std::pair<char32_t, int> widths[] = {
        {0x2705, 2}, {0x2706, 1},  {0x115F, 2},  {0x1160, 1},  {0x9FFF, 2},  {0xFF60, 2},
        {0xFF61, 1}, {0x1F64F, 2}, {0x1F650, 1}, {0x3FFFD, 2}, {0x036F, 0},  {0x0370, 1},
        {0x200F, 0}, {0x2010, 1},  {0xFEFF, 0},  {0xE01EF, 0}, {0xE01F0, 1}, {0x41, 1},
    };
    for (const auto& [c, width] : widths) {
        EXPECT_EQ(codePointWidth(c), width) << std::hex << static_cast<std::uint32_t>(c);
    }
    EXPECT_EQ(printable("a\x1b[31m\tb\xC2\x9B"), "a\xEF\xBF\xBD[31m\xEF\xBF\xBD"
                                                 "b\xEF\xBF\xBD");
}

namespace {

const std::filesystem::path rulesFolder = REPORT_TEST_RULES;

// The CSV's rows, name to seconds.
std::map<std::string, std::string> csvRows(const std::string& csv) {
    std::map<std::string, std::string> rows;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        const std::size_t comma = line.find(',');
        rows[line.substr(0, comma)] = line.substr(comma + 1, line.find(',', comma + 1) - comma - 1);
    }
    return rows;
}

ReportRun runWithRules(std::vector<std::string> arguments,
                       const std::filesystem::path& defaultRules) {
    arguments.insert(arguments.begin(), "activity-report");
    arguments.push_back("--no-cache");
    ReportRun result{};
    result.status = runReport(arguments, clock, logs / "basic", result.output, defaultRules);
    return result;
}

} // namespace

// Projects are found as the log is read, some events behind the reader, and the pieces
// then carry no text: the totals must be those of the rules applied to each event's
// title afterwards, over days longer than the reader's look-ahead, an event across
// midnight included, with the page (which keeps the text) and without.
TEST(ReportProjects, ProjectsFoundAsReadAreTheRulesAppliedToEachEvent) {
    const auto folder = std::filesystem::temp_directory_path() / "activity-report-projects-read";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::vector<std::string> titles = {"invoice 7 - Word", "INVOICE 12", "plan - Notes",
                                             "news today",       "release 3",  "misc"};
    // 2026-03-08 07:00 +01:00, events of 37 s to 3 min, every tenth one idle.
    std::int64_t at = 1'772'949'600'000;
    const std::int64_t end = 1'773'100'000'000; // 2026-03-10, past midnight of the 9th
    for (int n = 0; at < end; ++n) {
        logformat::LogEvent event;
        const std::int64_t length = n == 700 ? 40'000'000 : 37'000 + (n * 7919) % 143'000;
        event.start = {at, 60};
        event.end = {at + length, 60};
        event.state =
            n % 10 == 9 ? logformat::ActivityState::idle : logformat::ActivityState::active;
        event.title = titles[static_cast<std::size_t>(n * n + n / 3) % titles.size()];
        event.app = "App";
        const std::int64_t day = (at + 3'600'000) / 86'400'000;
        const std::string file = day == 20520   ? "2026-03-08.jsonl"
                                 : day == 20521 ? "2026-03-09.jsonl"
                                                : "2026-03-10.jsonl";
        std::ofstream(folder / file, std::ios::app | std::ios::binary)
            << logformat::formatLogEvent(event);
        at += length;
    }
    const auto rulesFile = folder / "rules.toml";
    const std::string_view rulesText = R"([[rule]]
project = "Work/Invoices"
title = "^invoice \\d+"
ignore_case = true

[[rule]]
project = "Work/Plans"
title = "plan"

[[rule]]
project = "Personal"
title = "news"
)";
    std::ofstream(rulesFile, std::ios::binary) << rulesText;

    const std::vector<std::string> days = {"--dir", folder.string(), "--from",   "2026-03-08",
                                           "--to",  "2026-03-09",    "--format", "csv"};
    const auto msOf = [](const std::map<std::string, std::string>& rows) {
        std::map<std::string, std::int64_t> ms;
        for (const auto& [name, seconds] : rows) {
            ms[name] = std::llround(std::stod(seconds) * 1000);
        }
        return ms;
    };
    std::vector<std::string> byTitle = days;
    byTitle.insert(byTitle.end(), {"--by", "title"});
    const ReportRun titleRun = run(byTitle);
    ASSERT_EQ(titleRun.status, 0) << titleRun.output.err;
    ProjectClassifier rules(*parseRules(rulesText, "rules.toml").rules);
    std::map<std::string, std::int64_t> expected;
    for (const auto& [title, ms] : msOf(csvRows(titleRun.output.out))) {
        logformat::LogEvent event;
        event.title = title;
        expected[std::string(rules.projectOf(event))] += ms;
    }
    ASSERT_EQ(expected.size(), 4u);

    for (const bool page : {false, true}) {
        std::vector<std::string> byProject = days;
        byProject.insert(byProject.end(), {"--by", "project", "--rules", rulesFile.string()});
        if (page) {
            byProject.insert(byProject.end(), {"--html", (folder / "page.html").string()});
        }
        const ReportRun result = run(byProject);
        ASSERT_EQ(result.status, 0) << result.output.err;
        EXPECT_EQ(msOf(csvRows(result.output.out)), expected) << (page ? "with --html" : "");
    }
    std::filesystem::remove_all(folder);
}

TEST(ReportProjects, RulesPutTimeIntoProjectsRolledUpByDepth) {
    const std::string rules = (rulesFolder / "basic.toml").string();
    const std::vector<std::string> days = {"--from",  "2026-03-08", "--to", "2026-03-10", "--by",
                                           "project", "--format",   "csv",  "--rules",    rules};
    struct Case {
        std::vector<std::string> extra;
        std::map<std::string, std::string> rows;
    };
    const Case cases[] = {
        {{},
         {{"Work/Client A/Reports", "3600.000"},
          {"Work/Client A/Notes", "2400.000"},
          {"Work/Code/Utilities", "2400.000"},
          {"Work/Code", "3600.000"},
          {"Work/Shell", "1800.000"},
          {"Personal/Music", "3600.000"},
          {"Uncategorised", "2700.000"}}},
        {{"--depth", "2"},
         {{"Work/Client A", "6000.000"},
          {"Work/Code", "6000.000"},
          {"Work/Shell", "1800.000"},
          {"Personal/Music", "3600.000"},
          {"Uncategorised", "2700.000"}}},
        {{"--depth", "1"},
         {{"Work", "13800.000"}, {"Personal", "3600.000"}, {"Uncategorised", "2700.000"}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = days;
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const ReportRun result = run(arguments);
        ASSERT_EQ(result.status, 0) << result.output.err;
        EXPECT_EQ(result.output.out.substr(0, 24), "project,seconds,percent\r");
        EXPECT_EQ(csvRows(result.output.out), c.rows) << result.output.out;
    }

    // The table: children indented under their parents, which carry all under them.
    std::vector<std::string> text = days;
    text[7] = "text";
    const ReportRun table = run(text);
    ASSERT_EQ(table.status, 0) << table.output.err;
    const std::string& out = table.output.out;
    for (const char* line : {"\nWork                                  3:50:00  68.7%",
                             "\n  Client A                            1:40:00  29.9%",
                             "\n    Reports                           1:00:00  17.9%",
                             "\n  Code                                1:40:00  29.9%",
                             "\n    Utilities                         0:40:00  11.9%",
                             "\nPersonal                              1:00:00  17.9%",
                             "\nTotal                                 5:35:00 100.0%"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }
    EXPECT_LT(out.find("\n    Reports"), out.find("\n  Code"));
    EXPECT_EQ(out.find("Never"), std::string::npos);

    // JSON carries the full path.
    text[7] = "json";
    EXPECT_NE(
        run(text).output.out.find("{\"name\": \"Work/Client A/Reports\", \"seconds\": 3600.000"),
        std::string::npos);
}

TEST(ReportProjects, TheDefaultRulesFileMayBeMissingANamedOneMayNot) {
    const std::vector<std::string> byProject = {"--day",   "2026-03-09", "--by",
                                                "project", "--format",   "csv"};
    // No rules: all Uncategorised.
    // No rules: all Uncategorised, and standard error names where rules were looked for.
    const std::filesystem::path missingDefault = rulesFolder / "no-such-rules.toml";
    const ReportRun none = runWithRules(byProject, missingDefault);
    EXPECT_EQ(none.status, 0) << none.output.err;
    EXPECT_EQ(csvRows(none.output.out).size(), 1u);
    EXPECT_EQ(csvRows(none.output.out).count("Uncategorised"), 1u);
    // (The day's damaged line is counted after it.)
    const std::string hint = "activity-report: no rules file at " + missingDefault.string() +
                             ", so every event is Uncategorised; write rules there or name a "
                             "file with --rules\n";
    EXPECT_EQ(none.output.err.substr(0, hint.size()), hint) << none.output.err;
    const ReportRun nowhere = runWithRules(byProject, {});
    EXPECT_NE(nowhere.output.err.find("no rules file (the system names no config folder"),
              std::string::npos)
        << nowhere.output.err;
    // The default file is used when it is there, and stops the report when it is bad.
    const ReportRun found = runWithRules(byProject, rulesFolder / "basic.toml");
    EXPECT_EQ(csvRows(found.output.out).count("Work/Client A/Reports"), 1u) << found.output.out;
    EXPECT_EQ(found.output.err.find("rules"), std::string::npos) << found.output.err;
    const ReportRun bad = runWithRules(byProject, rulesFolder / "bad" / "regex.toml");
    EXPECT_EQ(bad.status, 2);
    // Every --by reads the default file, for its [[app]] tables: a bad one stops them all.
    EXPECT_EQ(runWithRules({"--day", "2026-03-09"}, rulesFolder / "bad" / "regex.toml").status, 2);
    // A file the user names must be there.
    std::vector<std::string> named = byProject;
    named.insert(named.end(), {"--rules", (rulesFolder / "no-such-rules.toml").string()});
    const ReportRun missing = runWithRules(named, {});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.err.find("no-such-rules.toml: no such rules file"), std::string::npos)
        << missing.output.err;
}

// Options that would do nothing: --rules without --by chooses projects, --rules under
// another grouping says it isn't applied, --depth without projects is refused.
TEST(ReportProjects, RulesChooseTheGroupingAndDepthNeedsProjects) {
    const std::string rules = (rulesFolder / "basic.toml").string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string row; // a row the CSV has
        std::string err; // standard error's first line; empty: nothing of the rules
    };
    const Case cases[] = {
        {{"--rules", rules}, 0, "Work/Client A/Reports", ""},
        {{"--rules", rules, "--depth", "1"}, 0, "Work", ""},
        {{"--rules", rules, "--by", "app"},
         0,
         "Microsoft Word",
         "activity-report: --by app shows no projects: the [[rule]] tables of --rules are not "
         "applied (--by project applies them), its [[app]] tables are\n"},
        {{"--depth", "2"}, 2, "", "--depth rolls projects up to their first levels; --by app"},
        {{"--depth", "2", "--by", "title", "--rules", rules}, 2, "", "--by title has no projects"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--day", "2026-03-09", "--format", "csv"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ReportRun result = run(arguments);
        const std::string label = c.arguments[0] + " " + c.arguments[1] + " " +
                                  (c.arguments.size() > 2 ? c.arguments[2] : "");
        EXPECT_EQ(result.status, c.status) << label << result.output.err;
        if (c.status == 0) {
            EXPECT_EQ(csvRows(result.output.out).count(c.row), 1u) << label << result.output.out;
            EXPECT_EQ(result.output.err.substr(0, c.err.size()), c.err) << label;
            EXPECT_EQ(result.output.err.find("rules", c.err.size()), std::string::npos)
                << label << result.output.err;
        } else {
            EXPECT_TRUE(result.output.out.empty()) << label;
            EXPECT_NE(result.output.err.find(c.err), std::string::npos)
                << label << result.output.err;
        }
    }
}

// [[app]] names and categorises programs when the report runs, over all the log: in
// every grouping, in the rules that read app and category, and on days whose summaries
// were made before, which hold the sampler's names. Category 0 reads "Other".
TEST(ReportApps, TheUsersNamesAndCategoriesHoldForAllHistory) {
    const auto folder = std::filesystem::temp_directory_path() / "activity-report-apps";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto log = folder / "log";
    std::filesystem::copy(logs / "basic", log);
    const auto rules = folder / "rules.toml";
    std::ofstream(rules) << R"([[app]]
exe = "winword.exe"   # any letter case
name = "Writer"
category = "Notes"

[[app]]
exe = "Spotify.exe"
category = 0

[[rule]]
project = "Writing"
app = "^Writer$"
category = "notes"
)";
    // With summaries, unlike run(): the closed days' are made by the first report.
    const Clock tenOClock{1'773'133'200'000, [](std::int64_t) { return std::int32_t{60}; }};
    const auto report = [&](const std::string& by, const std::filesystem::path& rulesFile) {
        ReportRun result{};
        result.status = runReport({"activity-report", "--dir", log.string(), "--from", "2026-03-08",
                                   "--to", "2026-03-10", "--by", by, "--format", "csv"},
                                  tenOClock, log, result.output, rulesFile);
        EXPECT_EQ(result.status, 0) << result.output.err;
        return csvRows(result.output.out);
    };
    const auto byApp = report("app", {});
    const auto byCategory = report("category", {});
    ASSERT_EQ(byApp.count("Microsoft Word"), 1u);
    const std::string word = byApp.at("Microsoft Word"), music = byCategory.at("Music");

    const auto named = report("app", rules);
    EXPECT_EQ(named.count("Microsoft Word"), 0u);
    EXPECT_EQ(named.count("Writer") ? named.at("Writer") : "", word);
    EXPECT_EQ(named.at("Spotify"), byApp.at("Spotify")) << "a category alone keeps the name";
    const auto categorised = report("category", rules);
    EXPECT_EQ(categorised.count("Notes") ? categorised.at("Notes") : "", word);
    EXPECT_EQ(categorised.count("Other") ? categorised.at("Other") : "", music);
    EXPECT_EQ(categorised.count("Music") + categorised.count("Word"), 0u);
    const auto projects = report("project", rules);
    EXPECT_EQ(projects.count("Writing") ? projects.at("Writing") : "", word);

    // The summaries made meanwhile hold the sampler's names still.
    EXPECT_EQ(report("app", {}), byApp);
    EXPECT_EQ(report("category", {}), byCategory);
    std::filesystem::remove_all(folder);
}

TEST(ReportProjects, ABadRulesFileSaysWhereAndStops) {
    struct Case {
        std::string file;
        std::string where; // after the file's name
        std::string why;
    };
    const Case cases[] = {
        {"syntax.toml", ":7: rule 2: ", "string"},
        // A mistake on a rule's own header line is that rule's, not the one before.
        {"header-line.toml", ":5: rule 2: ", "table header"},
        {"unknown-key.toml", ":7: rule 2: titel: ", "not a key of a rule"},
        {"regex.toml", ":11: rule 3: title: ", "missing )"},
        {"lookaround.toml", ":3: rule 1: title: ", "lookaround"},
        {"type.toml", ":4: rule 1: ignore_case: ", "true or false"},
        {"pattern-type.toml", ":3: rule 1: app: ", "a string"},
        {"empty-level.toml", ":6: rule 2: project: ", "empty level"},
        {"empty-project.toml", ":2: rule 1: project: ", "empty"},
        {"no-project.toml", ":1: rule 1: ", "names no project"},
        {"category.toml", ":3: rule 1: category: ", "Browsers"},
        {"category-number.toml", ":7: rule 2: category: ", "no category has the number 99"},
        {"category-negative.toml", ":3: rule 1: category: ", "no category has the number -3"},
        {"category-past-table.toml", ":6: rule 1: category: ", "no category has the number 18"},
        {"category-numbered-name.toml", ":3: rule 1: category: ", "\"Category 99\""},
        {"empty-category.toml", ":3: rule 1: category: ", "empty list"},
        {"not-rule.toml", ":1: rules: ", "[[rule]]"},
        {"app-unknown-key.toml", ":7: app 1: nmae: ", "not a key of an app"},
        {"app-no-exe.toml", ":1: app 1: ", "names no exe"},
        {"app-path.toml", ":2: app 1: exe: ", "not a path"},
        {"app-category.toml", ":3: app 1: category: ", "no category has the number 18"},
        {"app-nothing.toml", ":1: app 1: ", "neither a name nor a category"},
        {"app-twice.toml", ":6: app 2: exe: ", "the app at line 1 names TOOL already"},
        {"app-type.toml", ":3: app 1: name: ", "a string"},
        {"app-syntax.toml", ":6: app 1: ", "string"},
    };
    for (const Case& c : cases) {
        const std::string file = (rulesFolder / "bad" / c.file).string();
        const ReportRun result = run({"--day", "2026-03-09", "--by", "project", "--rules", file});
        EXPECT_EQ(result.status, 2) << c.file;
        EXPECT_TRUE(result.output.out.empty()) << c.file;
        const std::string expected = "activity-report: " + file + c.where;
        EXPECT_EQ(result.output.err.substr(0, expected.size()), expected) << result.output.err;
        EXPECT_NE(result.output.err.find(c.why), std::string::npos) << result.output.err;
        EXPECT_EQ(std::count(result.output.err.begin(), result.output.err.end(), '\n'), 1)
            << result.output.err;
    }
}

// A line nested far deeper than any JSON this system writes, in each file the report
// reads: it is one damaged line, skipped and counted (a summary holding one is made
// again, as ever silently), and the report says what it said without it.
TEST(ReportDamage, ALineNestedTooDeepIsSkippedByEveryReader) {
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / "activity-report-deep-json";
    const std::string deep =
        "{\"x\": " + std::string(200'000, '[') + std::string(200'000, ']') + "}\n";
    const Clock tenOClock{1'773'133'200'000, [](std::int64_t) { return std::int32_t{60}; }};
    // The count of the line of standard error that says "skipped N lines … WHAT".
    const auto skipped = [](const std::string& err, const std::string& what) {
        std::istringstream lines(err);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("activity-report: skipped ") && line.find(what) != line.npos) {
                return std::stoull(line.substr(25));
            }
        }
        return 0ull;
    };
    const auto appended = [&](const std::string& text) { return text + deep; };
    // The title list, the summary's last, in the deep line's place, its length in the
    // header made to match: a summary that adds up, but for its nesting.
    const auto deepTitles = [&](const std::string& text) {
        const std::size_t sectionsEnd = text.find("]]", text.find("\"sections\""));
        const std::size_t lengthAt = text.rfind(' ', sectionsEnd) + 1;
        const std::size_t titles = std::stoull(text.substr(lengthAt, sectionsEnd - lengthAt));
        const std::string list = deep.substr(6, deep.size() - 8) + "\n";
        return text.substr(0, lengthAt) + std::to_string(list.size()) +
               text.substr(sectionsEnd, text.size() - titles - sectionsEnd) + list;
    };
    struct Case {
        const char* file;    // in the log folder
        const char* counted; // the end of the count it is in; none: nothing said of it
        std::function<std::string(const std::string&)> damaged;
    };
    const Case cases[] = {
        {"2026-03-09.jsonl", "held no event", appended},
        {"current.json", "held no event", appended},
        {tagFileName, tagFileName, appended},
        {"summaries/2026-03-09.json", nullptr, deepTitles},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::remove_all(work);
        std::filesystem::copy(logs / "basic", work, std::filesystem::copy_options::recursive);
        std::ofstream(work / tagFileName, std::ios::binary)
            << formatTagLine("a1", {1'773'046'800'000, 60}, {1'773'050'400'000, 60}, "Meeting",
                             {1'773'050'400'000, 60});
        const std::vector<std::string> arguments = {"activity-report", "--dir",      work.string(),
                                                    "--from",          "2026-03-08", "--to",
                                                    "2026-03-10",      "--by",       "title"};
        RunOutput before, after;
        ASSERT_EQ(runReport(arguments, tenOClock, work, before), 0) << before.err;
        const std::filesystem::path summary = work / "summaries" / "2026-03-09.json";
        const std::string made = bytesOf(summary);
        ASSERT_FALSE(made.empty());
        const std::string damaged = c.damaged(bytesOf(work / c.file));
        std::ofstream(work / c.file, std::ios::binary | std::ios::trunc) << damaged;

        ASSERT_EQ(runReport(arguments, tenOClock, work, after), 0) << after.err;
        EXPECT_EQ(after.out, before.out);
        if (c.counted == nullptr) {
            EXPECT_EQ(after.err, before.err);
            EXPECT_EQ(bytesOf(summary), made); // made again
        } else {
            EXPECT_EQ(skipped(after.err, c.counted), skipped(before.err, c.counted) + 1)
                << after.err;
        }
    }
    std::filesystem::remove_all(work);
}

// Days, weeks and months as people say them, from several todays: across a month's end,
// a leap February, a year's end, and the night New York's clocks change.
TEST(ReportDates, DaysAndCalendarRangesFromOneToday) {
    using logformat::CivilDate;
    struct Case {
        CivilDate today;
        std::vector<std::string> arguments;
        CivilDate first, last;
    };
    const CivilDate tuesday{2026, 3, 10}, thursday{2026, 12, 31}, sunday{2026, 11, 1};
    const Case cases[] = {
        {tuesday, {}, tuesday, tuesday},
        {tuesday, {"--day", "today"}, tuesday, tuesday},
        {tuesday, {"--day", "yesterday"}, {2026, 3, 9}, {2026, 3, 9}},
        {tuesday, {"--day", "-10"}, {2026, 2, 28}, {2026, 2, 28}},
        {tuesday, {"--day", "2026-3-1"}, {2026, 3, 1}, {2026, 3, 1}},
        {tuesday, {"--from", "2026-2-27", "--to", "yesterday"}, {2026, 2, 27}, {2026, 3, 9}},
        {tuesday, {"--from", "-3"}, {2026, 3, 7}, tuesday},
        {tuesday, {"--week"}, {2026, 3, 9}, {2026, 3, 15}},
        {tuesday, {"--week", "--week-starts", "Sunday"}, {2026, 3, 8}, {2026, 3, 14}},
        {tuesday, {"--week", "--week-starts", "tue"}, tuesday, {2026, 3, 16}},
        {tuesday, {"--week", "--week-starts", "wed"}, {2026, 3, 4}, tuesday},
        {tuesday, {"--last-week"}, {2026, 3, 2}, {2026, 3, 8}},
        {tuesday, {"--last-week", "--week-starts", "sat"}, {2026, 2, 28}, {2026, 3, 6}},
        {tuesday, {"--month"}, {2026, 3, 1}, {2026, 3, 31}},
        {tuesday, {"--last-month"}, {2026, 2, 1}, {2026, 2, 28}},
        {{2028, 3, 31}, {"--last-month"}, {2028, 2, 1}, {2028, 2, 29}},
        {tuesday, {"--last", "1"}, tuesday, tuesday},
        {tuesday, {"--last", "14"}, {2026, 2, 25}, tuesday},
        {thursday, {"--week"}, {2026, 12, 28}, {2027, 1, 3}},
        {thursday, {"--month"}, {2026, 12, 1}, thursday},
        {{2027, 1, 2}, {"--last-month"}, {2026, 12, 1}, thursday},
        {{2027, 1, 2}, {"--last-week"}, {2026, 12, 21}, {2026, 12, 27}},
        {{2027, 1, 2}, {"--last", "3"}, thursday, {2027, 1, 2}},
        {sunday, {"--week"}, {2026, 10, 26}, sunday},
        {sunday, {"--week", "--week-starts", "sun"}, sunday, {2026, 11, 7}},
        {sunday, {"--day", "yesterday"}, {2026, 10, 31}, {2026, 10, 31}},
    };
    for (const Case& c : cases) {
        std::string shown = logformat::formatDate(c.today);
        for (const std::string& argument : c.arguments) {
            shown += " " + argument;
        }
        SCOPED_TRACE(shown);
        // Late in the evening in New York: already the next day by UTC.
        const std::int64_t nowMs =
            logformat::localMidnight(c.today, test_support::newYork) + 23 * 3'600'000;
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "activity-report");
        const CommandLine read = readCommandLine(arguments, {nowMs, test_support::newYork(nowMs)},
                                                 test_support::newYork, logs);
        ASSERT_TRUE(read.options) << read.err;
        EXPECT_EQ(logformat::formatDate(read.options->first), logformat::formatDate(c.first));
        EXPECT_EQ(logformat::formatDate(read.options->last), logformat::formatDate(c.last));
        EXPECT_FALSE(read.options->cutFromMs || read.options->cutToMs);
    }
}

// --from and --to at a time of day: the moments they name, the days those lie on, in
// New York on the nights its clocks change.
TEST(ReportDates, TimesOfDayAreMomentsOnTheirDays) {
    using logformat::CivilDate;
    const std::int64_t now = 1'796'101'200'000; // 2026-12-01 00:00-05:00
    struct Case {
        std::vector<std::string> arguments;
        CivilDate first, last;
        std::optional<std::int64_t> fromMs, toMs;
    };
    const std::int64_t hour = 3'600'000;
    const Case cases[] = {
        {{"--from", "2026-03-08 02:30", "--to", "2026-3-8T3:30"},
         {2026, 3, 8},
         {2026, 3, 8},
         1'772'953'200'000,
         1'772'955'000'000},
        {{"--from", "2026-11-01 01:30-05:00", "--to", "2026-11-02"},
         {2026, 11, 1},
         {2026, 11, 2},
         1'793'514'600'000,
         {}},
        // An end at midnight: the day before is the last.
        {{"--from", "2026-11-01", "--to", "2026-11-02 00:00"},
         {2026, 11, 1},
         {2026, 11, 1},
         {},
         1'793'595'600'000},
        {{"--from", "yesterday 22:00", "--to", "yesterday 23:59"},
         {2026, 11, 30},
         {2026, 11, 30},
         now - 2 * hour,
         now - 60'000},
        {{"--from", "-1 22:00"}, {2026, 11, 30}, {2026, 12, 1}, now - 2 * hour, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "activity-report");
        const CommandLine read =
            readCommandLine(arguments, {now, -300}, test_support::newYork, logs);
        ASSERT_TRUE(read.options) << read.err;
        EXPECT_EQ(logformat::formatDate(read.options->first), logformat::formatDate(c.first));
        EXPECT_EQ(logformat::formatDate(read.options->last), logformat::formatDate(c.last));
        EXPECT_EQ(read.options->cutFromMs, c.fromMs);
        EXPECT_EQ(read.options->cutToMs, c.toMs);
    }
}

namespace {

// A number of the report's JSON, by its key.
double jsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stod(json.substr(at + key.size() + 4));
}

// The report of FOLDER, which takes and makes day summaries.
std::string csvWithSummaries(const std::filesystem::path& folder, const std::string& from,
                             const std::string& to) {
    RunOutput output;
    EXPECT_EQ(runReport({"activity-report", "--dir", folder.string(), "--from", from, "--to", to,
                         "--format", "csv", "--include-away"},
                        clock, folder, output),
              0)
        << output.err;
    return output.out;
}

} // namespace

// Cut at any moment, the two sides of a range hold what the whole does: each moment once,
// none lost, in the totals, the states, the coverage and the timesheet.
TEST(ReportDates, ACutCountsEachMomentOnce) {
    const char* const keys[] = {
        "total_seconds", "active",      "idle",         "locked",
        "none",          "unavailable", "span_seconds", "not_recorded_seconds",
        "away_seconds"};
    const auto json = [&](const std::string& from, const std::string& to) {
        const ReportRun result = run({"--from", from, "--to", to, "--format", "json"});
        EXPECT_EQ(result.status, 0) << result.output.err;
        return result.output.out;
    };
    // The timesheet's hours per day.
    const auto hours = [&](const std::string& from, const std::string& to) {
        const ReportRun result = run({"--from", from, "--to", to, "--format", "timesheet",
                                      "--round", "1", "--day-starts", "06:00"});
        std::map<std::string, double> days;
        std::istringstream lines(result.output.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("2026", 0) == 0) {
                days[line.substr(0, 10)] += std::stod(line.substr(line.rfind(',') + 1));
            }
        }
        return days;
    };
    const std::string whole = json("2026-03-08", "2026-03-09");
    ASSERT_EQ(jsonNumber(whole, "span_seconds"), 2 * 86'400);
    // Inside events, at their ends, at midnight, in a gap, by the second.
    for (const char* cut :
         {"2026-03-09 09:20", "2026-03-09 10:00", "2026-03-09 00:00", "2026-03-9 0:10",
          "2026-03-08 23:59:30", "2026-03-09 13:00", "2026-03-09T23:59:59.5"}) {
        SCOPED_TRACE(cut);
        const std::string before = json("2026-03-08", cut);
        const std::string after = json(cut, "2026-03-09");
        for (const char* key : keys) {
            EXPECT_NEAR(jsonNumber(before, key) + jsonNumber(after, key), jsonNumber(whole, key),
                        0.0005)
                << key;
        }
        // The timesheet rounds each day to the minute: cuts on whole minutes add up, before
        // a timesheet day's start too.
        if (std::count(cut, cut + std::strlen(cut), ':') == 1) {
            std::map<std::string, double> parts = hours("2026-03-08", cut);
            for (const auto& [day, sum] : hours(cut, "2026-03-09")) {
                parts[day] += sum;
            }
            const std::map<std::string, double> all = hours("2026-03-08", "2026-03-09");
            ASSERT_EQ(parts.size(), all.size());
            for (const auto& [day, sum] : all) {
                EXPECT_NEAR(parts[day], sum, 0.0002) << day;
            }
        }
    }
    // A day cut takes none of its summary, which holds the whole day: a copy of the log,
    // summarised by a first report, reads the same.
    const std::filesystem::path copy =
        std::filesystem::temp_directory_path() / "activity-report-cut-summaries";
    std::filesystem::remove_all(copy);
    std::filesystem::copy(logs / "basic", copy);
    const auto cached = [&](const std::string& from, const std::string& to) {
        return csvWithSummaries(copy, from, to);
    };
    cached("2026-03-08", "2026-03-09");
    ASSERT_TRUE(std::filesystem::exists(logformat::summaryFolder(copy))) << "no summaries made";
    for (const auto& [from, to] : {std::pair{"2026-03-08 12:00", "2026-03-09 09:20"},
                                   std::pair{"2026-03-08", "2026-03-09 10:00"}}) {
        EXPECT_EQ(cached(from, to),
                  run({"--from", from, "--to", to, "--format", "csv", "--include-away"}).output.out)
            << from << " to " << to;
    }
    std::filesystem::remove_all(copy);

    // The event 09:00 to 10:00 cut at 09:20 leaves 40 minutes of it.
    EXPECT_EQ(run({"--from", "2026-03-09 09:20", "--to", "2026-03-09 10:00", "--format", "csv"})
                  .output.out,
              "app,seconds,percent\r\nMicrosoft Word,2400.000,100.0\r\n");
}

// Days still to come, with nothing in them: a word and status 3, and no empty table.
TEST(ReportDates, DaysStillToComeSaySo) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {{"--day", "2026-03-11"}, 3},
        {{"--from", "2026-3-11", "--to", "2026-03-12"}, 3},
        {{"--from", "10:30"}, 3},
        {{"--from", "2026-03-10 10:00"}, 3},
        {{"--day", "2026-03-11", "--format", "timesheet"}, 3},
        {{"--week"}, 0}, // begun already
        {{"--from", "9:30"}, 0},
        {{"--day", "today"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        const ReportRun result = run(c.arguments);
        EXPECT_EQ(result.status, c.status) << result.output.err;
        if (c.status == 3) {
            EXPECT_TRUE(result.output.out.empty()) << result.output.out;
            EXPECT_NE(result.output.err.find(" is still to come: nothing is recorded yet (it is "
                                             "2026-03-10 10:00 now)"),
                      std::string::npos)
                << result.output.err;
        }
    }
    // Recorded there all the same (a clock set ahead): the report shows it.
    const ReportRun ahead =
        run({"--dir", (logs / "hostile").string(), "--day", "2026-03-11", "--format", "csv"});
    EXPECT_EQ(ahead.status, 0) << ahead.output.err;
    EXPECT_NE(ahead.output.out.find("\r\n"), ahead.output.out.size() - 2);
}
