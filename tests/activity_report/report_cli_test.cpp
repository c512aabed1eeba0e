// The command line as a user meets it: selections, errors and their exit statuses.
#include "activity_report/classifier.h"
#include "activity_report/render.h"
#include "activity_report/run_report.h"
#include "activity_report/tags.h"
#include "activity_report/text_width.h"
#include "logformat/log_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
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
        {{"--day", "2026-02-30"}, 2, "not a date"},
        {{"--day", "yesterday"}, 2, "not a date"},
        {{"--from", "2026-03-10", "--to", "2026-03-09"}, 2, "is after --to"},
        {{"--from", "2026-03-01"}, 2, "--to"},
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
        {{"--week"}, "Time by app, 2026-03-04 to 2026-03-10, active time"},
        {{"--from", "2026-03-09", "--to", "2026-03-09", "--by", "folder"},
         "Time by folder, 2026-03-09, active time"},
        {{"--day", "2026-03-09", "--include-away", "--dir", basic()},
         "Time by app, 2026-03-09, every state"},
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
    const ReportRun none = runWithRules(byProject, rulesFolder / "no-such-rules.toml");
    EXPECT_EQ(none.status, 0) << none.output.err;
    EXPECT_EQ(csvRows(none.output.out).size(), 1u);
    EXPECT_EQ(csvRows(none.output.out).count("Uncategorised"), 1u);
    // The default file is used when it is there, and stops the report when it is bad.
    const ReportRun found = runWithRules(byProject, rulesFolder / "basic.toml");
    EXPECT_EQ(csvRows(found.output.out).count("Work/Client A/Reports"), 1u) << found.output.out;
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
