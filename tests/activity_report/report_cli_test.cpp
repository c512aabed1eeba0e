// The command line as a user meets it: selections, errors and their exit statuses.
#include "activity_report/render.h"
#include "activity_report/run_report.h"
#include "activity_report/text_width.h"

#include <gtest/gtest.h>

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
