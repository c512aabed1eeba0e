// The day summaries: a report from them says what a full read of the log says, to the
// millisecond; a summary of a day file that changed, or that is damaged or of another
// version, is never used; a day's edges are read once.
#include "activity_report/classifier.h"
#include "activity_report/day_log.h"
#include "activity_report/rules.h"
#include "activity_report/run_report.h"
#include "activity_report/summary_store.h"
#include "activity_report/totals.h"
#include "logformat/summary_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace report;
using logformat::CivilDate;

namespace {

const std::filesystem::path logs = REPORT_TEST_LOGS;

std::int32_t plusOne(std::int64_t) {
    return 60;
}
const Clock lateClock{1'800'000'000'000, plusOne}; // 2027: every day is closed

struct Read {
    Totals totals;
    ReadCounts counts;
    std::size_t summarisedDays = 0; // day files taken from their summaries
};

ReportOptions optionsFor(const std::vector<std::filesystem::path>& folders, CivilDate first,
                         CivilDate last, GroupBy by, bool useSummaries) {
    ReportOptions options;
    options.directories = folders;
    options.first = first;
    options.last = last;
    options.by = by;
    options.useSummaries = useSummaries;
    return options;
}

// The totals of OPTIONS' days, by PROJECTS' rules for a project grouping.
Read readWith(const ReportOptions& options, ProjectClassifier* projects = nullptr, int depth = 0) {
    Read read;
    TotalsBuilder builder(Grouper{options.by, projects, depth});
    forEachDay(options, lateClock, read.counts, projects, [&](const Day& day) {
        read.summarisedDays += day.summaries.size();
        builder.addDay(day);
    });
    read.totals = builder.finish();
    return read;
}

Read readOver(const std::vector<std::filesystem::path>& folders, CivilDate first, CivilDate last,
              GroupBy by, bool useSummaries, const std::filesystem::path& cache = {}) {
    ReportOptions options = optionsFor(folders, first, last, by, useSummaries);
    options.cacheDirectory = cache;
    return readWith(options);
}

auto comparable(const Read& read) {
    const Coverage& c = read.totals.coverage;
    return std::tuple(std::map<std::string, std::int64_t>(read.totals.activeByGroup.begin(),
                                                          read.totals.activeByGroup.end()),
                      read.totals.byState,
                      std::vector<std::int64_t>{c.spanMs, c.activeMs, c.awayMs, c.noWindowMs,
                                                c.unavailableMs, c.notRecordedMs,
                                                c.gapsOverAMinute},
                      read.counts.skippedLines, read.counts.misplacedEvents);
}

// A copy of committed log folders to write summaries beside.
class SummaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        work = std::filesystem::temp_directory_path() /
               ("activity-report-summaries-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
    }
    void TearDown() override { std::filesystem::remove_all(work); }

    std::filesystem::path copyOf(const std::string& folder) {
        std::filesystem::copy(logs / folder, work / folder,
                              std::filesystem::copy_options::recursive);
        return work / folder;
    }

    static void append(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::app) << text;
    }

    std::filesystem::path work;
};

constexpr GroupBy everyGrouping[] = {GroupBy::app, GroupBy::category, GroupBy::doc, GroupBy::folder,
                                     GroupBy::title};

std::string line(const char* start, const char* end, const char* state, const char* title,
                 const char* app) {
    logformat::LogEvent event;
    event.start = *logformat::parseTimestamp(start);
    event.end = *logformat::parseTimestamp(end);
    event.state = *logformat::stateFromName(state);
    event.title = event.doc = title;
    event.app = app;
    event.url = std::string("C:/work/") + title;
    return logformat::formatLogEvent(event);
}

} // namespace

TEST_F(SummaryTest, AgreeWithAFullReadOfTheLog) {
    struct Case {
        std::vector<std::string> folders;
        CivilDate first, last;
    };
    const Case cases[] = {
        {{"basic"}, {2026, 3, 7}, {2026, 3, 11}},
        {{"basic", "other-machine", "hostile"}, {2026, 3, 7}, {2026, 3, 12}},
        {{"new-york"}, {2026, 3, 6}, {2026, 3, 10}},
        {{"new-york"}, {2026, 10, 30}, {2026, 11, 3}},
        {{"lord-howe"}, {2026, 4, 3}, {2026, 4, 7}},
        {{"kathmandu"}, {2026, 3, 9}, {2026, 3, 13}},
        {{"queued"}, {2026, 3, 8}, {2026, 3, 12}},
    };
    std::map<std::string, std::filesystem::path> copies;
    for (const Case& c : cases) {
        std::vector<std::filesystem::path> folders;
        for (const std::string& folder : c.folders) {
            if (!copies.contains(folder)) {
                copies[folder] = copyOf(folder);
            }
            folders.push_back(copies[folder]);
        }
        for (const GroupBy by : everyGrouping) {
            SCOPED_TRACE(c.folders.front() + " by " + std::string(groupByName(by)));
            const Read log = readOver(folders, c.first, c.last, by, false);
            const Read making = readOver(folders, c.first, c.last, by, true);
            const Read taking = readOver(folders, c.first, c.last, by, true);
            EXPECT_EQ(comparable(making), comparable(log));
            EXPECT_EQ(comparable(taking), comparable(log));
            EXPECT_FALSE(taking.counts.summariesUnwritable);
        }
    }
    // Some day of each kind came from a summary: the comparison meant something.
    const Read taken =
        readOver({copies["kathmandu"]}, {2026, 3, 9}, {2026, 3, 13}, GroupBy::app, true);
    EXPECT_EQ(taken.summarisedDays, 3u);
    // basic's 03-08 and 03-09 are closed days split at their midnights, as the collector
    // writes them; 03-10 holds current.json's events: read.
    const Read read = readOver({copies["basic"]}, {2026, 3, 7}, {2026, 3, 11}, GroupBy::app, true);
    EXPECT_EQ(read.summarisedDays, 2u);
    const Read dst =
        readOver({copies["new-york"]}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, true);
    EXPECT_EQ(dst.summarisedDays, 3u);
}

// A project grouping takes a day from its summary only when the summary was made under
// the same rules, and never a day a tag may lie on; what it takes is what the log says.
TEST_F(SummaryTest, ProjectsAreTakenOnlyUnderTheRulesTheyWereMadeWith) {
    const std::filesystem::path folder = copyOf("week");
    const CivilDate first{2026, 3, 2}, last{2026, 3, 8}; // six closed day files
    const std::string byApp = "[[rule]]\nproject = \"Work/Writing/Word\"\napp = \"Word\"\n"
                              "[[rule]]\nproject = \"Work/Code\"\napp = \"Code\"\n";
    const std::string byDoc = "[[rule]]\nproject = \"Work/Code/Utilities\"\ndoc = \"^util\"\n"
                              "[[rule]]\nproject = \"Work/Writing\"\ncategory = [\"Word\", "
                              "\"Excel\"]\n";
    const auto projectsOver = [&](const std::string& rulesText, bool useSummaries, int depth = 0,
                                  DaySpans taggedDays = {}) {
        RulesRead rules = parseRules(rulesText, "rules.toml");
        EXPECT_TRUE(rules.rules) << rules.error;
        ReportOptions options = optionsFor({folder}, first, last, GroupBy::project, useSummaries);
        options.ruleTextFields = rules.rules->textFields;
        options.rulesDigest = rules.rules->digest;
        options.taggedDays = std::move(taggedDays);
        ProjectClassifier projects(std::move(*rules.rules));
        return readWith(options, &projects, depth);
    };
    // Summaries made by another grouping hold no projects: made again, then taken.
    readOver({folder}, first, last, GroupBy::app, true);
    EXPECT_EQ(projectsOver(byDoc, true).summarisedDays, 0u);
    for (const auto& [name, rules] : {std::pair{"by app", byApp}, std::pair{"by doc", byDoc}}) {
        SCOPED_TRACE(name);
        const Read log = projectsOver(rules, false);
        const Read making = projectsOver(rules, true); // the other rules' summaries: not taken
        const Read taking = projectsOver(rules, true);
        EXPECT_EQ(making.summarisedDays, 0u);
        EXPECT_EQ(taking.summarisedDays, 6u);
        EXPECT_EQ(comparable(making), comparable(log));
        EXPECT_EQ(comparable(taking), comparable(log));
        EXPECT_EQ(comparable(projectsOver(rules, true, 1)),
                  comparable(projectsOver(rules, false, 1)));
    }
    // The two files put the time in different projects: a stale summary would show.
    EXPECT_NE(comparable(projectsOver(byApp, false)), comparable(projectsOver(byDoc, false)));
    // The fixed groupings' lists are still taken beside the projects'.
    EXPECT_EQ(readOver({folder}, first, last, GroupBy::doc, true).summarisedDays, 6u);
    // Days a tag may lie on are read, however long the tag.
    const auto spanning = [](CivilDate from, CivilDate to) {
        DaySpans days;
        days.add(logformat::daysFromCivil(from), logformat::daysFromCivil(to));
        return days;
    };
    const std::pair<DaySpans, std::size_t> tagged[] = {
        {spanning({2026, 3, 4}, {2026, 3, 4}), 5u},
        {spanning({2026, 3, 4}, {2026, 3, 5}), 4u},
        {spanning({2026, 3, 1}, {2026, 3, 2}), 5u},
        {spanning({0, 1, 1}, {9999, 12, 31}), 0u},
    };
    for (const auto& [days, summarised] : tagged) {
        const Read read = projectsOver(byDoc, true, 0, days);
        EXPECT_EQ(read.summarisedDays, summarised);
        EXPECT_EQ(comparable(read), comparable(projectsOver(byDoc, false)));
    }
}

// A report by project over tags of any length: the days they lie on read from the log,
// so the totals with summaries are those without.
TEST_F(SummaryTest, TaggedDaysAreReadWhateverTheTagsLength) {
    const std::filesystem::path folder = copyOf("week");
    const auto report = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = {
            "activity-report", "--dir", folder.string(), "--from",   "2026-03-02", "--to",
            "2026-03-08",      "--by",  "project",       "--format", "json"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        RunOutput output;
        EXPECT_EQ(runReport(arguments, lateClock, folder, output), 0) << output.err;
        return output.out;
    };
    const std::pair<const char*, const char*> tags[] = {
        {"one afternoon", "2026-03-04T13:00:00.000+01:00\", \"end\": \"2026-03-04T15:00"},
        {"ten thousand years", "0000-01-01T00:00:00.000+01:00\", \"end\": \"9999-12-31T23:00"},
    };
    for (const auto& [what, span] : tags) {
        SCOPED_TRACE(what);
        std::ofstream(folder / "tags.jsonl", std::ios::binary)
            << "{\"id\": \"t1\", \"start\": \"" << span
            << ":00.000+01:00\", \"label\": \"Meeting\", \"made\": "
               "\"2026-03-09T10:00:00.000+01:00\"}\n";
        const std::string fromLog = report({"--no-cache"});
        EXPECT_NE(fromLog.find("\"Meeting\""), std::string::npos) << fromLog;
        report({}); // summaries made of every day no tag may lie on
        EXPECT_EQ(report({}), fromLog);
    }
}

TEST(DaySpans, RunsMergeAndEveryDayOfThemIsFound) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::int64_t, std::int64_t>> added;
        std::size_t runs;
        std::vector<std::int64_t> in, out;
    };
    const Case cases[] = {
        {"none", {}, 0, {}, {0}},
        {"one day", {{5, 5}}, 1, {5}, {4, 6}},
        {"ends included", {{5, 9}}, 1, {5, 7, 9}, {4, 10}},
        {"reversed adds nothing", {{9, 5}}, 0, {}, {5, 7, 9}},
        {"apart", {{1, 2}, {5, 6}}, 2, {1, 2, 5, 6}, {0, 3, 4, 7}},
        {"touching", {{1, 2}, {3, 4}}, 1, {1, 2, 3, 4}, {0, 5}},
        {"touching, added the other way", {{3, 4}, {1, 2}}, 1, {1, 4}, {0, 5}},
        {"inside another", {{1, 9}, {3, 4}}, 1, {1, 5, 9}, {0, 10}},
        {"over several", {{1, 2}, {5, 6}, {9, 10}, {0, 7}}, 2, {0, 3, 7, 9, 10}, {-1, 8, 11}},
        {"ten thousand years",
         {{-719'528, 2'932'896}, {3, 3}},
         1,
         {-719'528, 0, 2'932'896},
         {-719'529, 2'932'897}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DaySpans days;
        for (const auto& [first, last] : c.added) {
            days.add(first, last);
        }
        EXPECT_EQ(days.runs.size(), c.runs);
        for (const std::int64_t day : c.in) {
            EXPECT_TRUE(days.contains(day)) << day;
        }
        for (const std::int64_t day : c.out) {
            EXPECT_FALSE(days.contains(day)) << day;
        }
    }
}

TEST_F(SummaryTest, ChangedDamagedOrOtherVersionsAreRebuilt) {
    const std::filesystem::path folder = copyOf("new-york");
    const auto agree = [&](const char* what) {
        SCOPED_TRACE(what);
        const Read log = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, false);
        const Read first = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, true);
        const Read again = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, true);
        EXPECT_EQ(comparable(first), comparable(log));
        EXPECT_EQ(comparable(again), comparable(log));
        EXPECT_EQ(again.summarisedDays, 3u); // made again, and taken
    };
    agree("made");
    const std::filesystem::path summary = folder / "summaries" / "2026-11-01.json";
    ASSERT_TRUE(std::filesystem::exists(summary));

    // The day file grows: the summary no longer counts.
    append(folder / "2026-11-01.jsonl",
           line("2026-11-01T23:00:00.000-05:00", "2026-11-01T23:30:00.000-05:00", "active",
                "late.docx", "Microsoft Word"));
    agree("the day file grew");

    std::string text;
    {
        std::ifstream in(summary, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string damaged[] = {
        text.substr(0, text.size() / 2),
        text.substr(0, text.find('\n') + 1),
        "{\"version\": 99" + text.substr(text.find(',')),
        std::string(text.size(), '\0'),
        "",
    };
    for (const std::string& bad : damaged) {
        std::ofstream(summary, std::ios::binary | std::ios::trunc) << bad;
        agree("a damaged summary");
    }
}

TEST_F(SummaryTest, EventsAcrossADaysEdgeCountOnce) {
    // Not as the collector writes: one event runs over a midnight, one is filed a day
    // late, lines are damaged.
    const std::filesystem::path folder = work / "edges";
    std::filesystem::create_directories(folder);
    for (int day = 1; day <= 6; ++day) {
        const std::string d = "2026-05-0" + std::to_string(day);
        append(folder / (d + ".jsonl"),
               line((d + "T09:00:00.000+01:00").c_str(), (d + "T10:00:00.000+01:00").c_str(),
                    "active", "report.docx", "Microsoft Word") +
                   line((d + "T10:00:00.000+01:00").c_str(), (d + "T10:05:00.000+01:00").c_str(),
                        "idle", "", ""));
    }
    append(folder / "2026-05-03.jsonl",
           line("2026-05-03T23:00:00.000+01:00", "2026-05-04T01:00:00.000+01:00", "active",
                "night.cpp", "Visual Studio Code"));
    append(folder / "2026-05-05.jsonl",
           line("2026-05-04T12:00:00.000+01:00", "2026-05-04T12:30:00.000+01:00", "active",
                "late.txt", "Notepad") +
               "{\"start\": \"2026-05-05T1\n");
    append(folder / "2026-05-02.jsonl", "not an event\n");
    // Selections that begin or end beside the day that runs over, or the late event.
    const std::pair<CivilDate, CivilDate> selections[] = {{{2026, 5, 1}, {2026, 5, 6}},
                                                          {{2026, 5, 4}, {2026, 5, 6}},
                                                          {{2026, 5, 1}, {2026, 5, 4}},
                                                          {{2026, 5, 4}, {2026, 5, 4}},
                                                          {{2026, 5, 5}, {2026, 5, 6}}};
    for (const GroupBy by : everyGrouping) {
        for (const auto& [first, last] : selections) {
            SCOPED_TRACE(std::to_string(first.day) + " to " + std::to_string(last.day));
            const Read log = readOver({folder}, first, last, by, false);
            readOver({folder}, first, last, by, true);
            const Read taking = readOver({folder}, first, last, by, true);
            EXPECT_EQ(comparable(taking), comparable(log));
        }
        // 05-03 runs into 05-04 and 05-05 holds an event of 05-04: both are read.
        EXPECT_EQ(readOver({folder}, {2026, 5, 1}, {2026, 5, 6}, by, true).summarisedDays, 4u);
    }
    EXPECT_EQ(readOver({folder}, {2026, 5, 1}, {2026, 5, 6}, GroupBy::app, false)
                  .totals.activeByGroup.at("Visual Studio Code"),
              2 * 3'600'000);
}

TEST_F(SummaryTest, ALogFolderThatCantTakeThemUsesTheCache) {
    const std::filesystem::path folder = copyOf("new-york");
    // Where the summaries would go is a file: nothing can be made there.
    std::ofstream(folder / "summaries") << "not a folder";
    const std::filesystem::path cache = work / "cache";
    const Read log = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, false);
    readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, true, cache);
    const Read taking =
        readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, true, cache);
    EXPECT_EQ(comparable(taking), comparable(log));
    EXPECT_EQ(taking.summarisedDays, 3u);
    EXPECT_FALSE(std::filesystem::is_empty(cache / "summaries"));

    // The folder spelled another way is the same folder of the cache: its summaries are
    // taken at once, and forget finds them under the one name.
    std::vector<std::filesystem::path> spellings = {folder / "", folder / "." / ""};
    std::error_code noLinks; // a system where links can't be made has the others
    std::filesystem::create_directory_symlink(folder, work / "link", noLinks);
    if (!noLinks) {
        spellings.push_back(work / "link");
    }
    for (const std::filesystem::path& spelling : spellings) {
        SCOPED_TRACE(spelling.string());
        EXPECT_EQ(readOver({spelling}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, true, cache)
                      .summarisedDays,
                  3u);
        EXPECT_EQ(logformat::cachedSummaryFolder(cache, spelling),
                  logformat::cachedSummaryFolder(cache, folder));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cache / "summaries"),
                            std::filesystem::directory_iterator()),
              1);

    const Read nowhere = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::app, true);
    EXPECT_TRUE(nowhere.counts.summariesUnwritable);
    EXPECT_EQ(comparable(nowhere), comparable(log));
}

// A header whose lists don't lie where it says, in the file as it is: it is never
// followed (no read past the end, nothing allocated for a length the file doesn't have,
// no list taken for another), and the summary is made again.
TEST_F(SummaryTest, SectionsThatDontAddUpAreRebuilt) {
    const std::filesystem::path folder = copyOf("new-york");
    const Read log = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, false);
    ASSERT_EQ(
        readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, true).summarisedDays, 0u);
    const std::filesystem::path summary = folder / "summaries" / "2026-11-01.json";
    std::string made;
    {
        std::ifstream in(summary, std::ios::binary);
        made.assign(std::istreambuf_iterator<char>(in), {});
    }
    // The header's "sections": [[offset, length], …], a pair per fixed grouping, title last.
    const std::size_t listFrom = made.find("\"sections\": [") + 13;
    const std::size_t listTo = made.find("]]", listFrom) + 2;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sections;
    for (std::size_t at = listFrom; at < listTo;) {
        const std::size_t open = made.find('[', at) + 1;
        const std::size_t comma = made.find(',', open);
        sections.emplace_back(std::stoull(made.substr(open, comma - open)),
                              std::stoull(made.substr(comma + 1)));
        at = made.find(']', comma) + 2;
    }
    ASSERT_EQ(sections.size(), groupingCount);
    const std::uint64_t body = made.size() - made.find('\n') - 1;
    const auto [folderAt, folderLength] = sections[3];
    const auto [titleAt, titleLength] = sections[4];
    struct Case {
        const char* what;
        std::uint64_t offset, length; // of the title list
    };
    const Case cases[] = {
        {"a length near 2^64", titleAt, 18'446'744'073'709'551'000u},
        {"a length of gigabytes", titleAt, 3'000'000'000u},
        {"a length past the end", titleAt, titleLength + 1},
        {"an offset past the end", body + 1, titleLength},
        {"an offset and length that wrap around", 18'446'744'073'709'551'000u, 1000},
        {"overlapping another list", folderAt, folderLength},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string header = "[";
        for (std::size_t by = 0; by < groupingCount; ++by) {
            const auto [offset, length] = by == 4 ? std::pair(c.offset, c.length) : sections[by];
            header += (by == 0 ? "[" : ", [") + std::to_string(offset) + ", " +
                      std::to_string(length) + "]";
        }
        header += "]";
        std::ofstream(summary, std::ios::binary | std::ios::trunc)
            << made.substr(0, listFrom - 1) + header + made.substr(listTo);

        const Read read = readOver({folder}, {2026, 10, 30}, {2026, 11, 3}, GroupBy::title, true);
        EXPECT_EQ(comparable(read), comparable(log));
        std::ifstream in(summary, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), made); // made again
    }
}
