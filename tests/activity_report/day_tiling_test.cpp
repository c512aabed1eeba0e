// A selection's days tile time: whatever zones the log, the tags and the machine are in,
// every moment of the selection is in one day, and a report of several days adds up to
// the reports of its days one at a time.
#include "activity_report/run_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace report;

namespace {

// A zone as the machine's clock: a fixed offset, or Los Angeles in March 2026 (PDT
// from 03-08 10:00Z).
struct Zone {
    const char* name;
    std::function<std::int32_t(std::int64_t)> offsetAt;
};

const Zone zones[] = {
    {"Los Angeles", [](std::int64_t ms) { return ms >= 1'772'964'000'000 ? -420 : -480; }},
    {"Tokyo", [](std::int64_t) { return 540; }},
    {"UTC", [](std::int64_t) { return 0; }},
    {"Kathmandu", [](std::int64_t) { return 345; }},
};

// 2026-03-20: every day of the tests is closed.
constexpr std::int64_t later = 1'773'990'000'000;

std::string event(const char* start, const char* end, long seconds, const char* app) {
    return std::string("{\"start\": \"") + start + "\", \"end\": \"" + end +
           "\", \"seconds\": " + std::to_string(seconds) +
           ".000, \"state\": \"active\", \"title\": \"t\", \"curated_title\": \"\", \"doc\": "
           "\"\", \"url\": \"\", \"pid\": 1, \"app\": \"" +
           app + "\", \"exe_path\": \"\", \"category\": 5}\n";
}

void write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

class DayTilingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("activity-report-tiling-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    RunOutput run(std::vector<std::string> arguments, const Zone& zone) {
        arguments.insert(arguments.begin(),
                         {"activity-report", "--no-cache", "--dir", folder.string()});
        RunOutput output;
        EXPECT_EQ(runReport(arguments, Clock{later, zone.offsetAt}, folder, output), 0)
            << output.err;
        return output;
    }

    // A number the JSON report gives under KEY.
    double number(const std::string& json, const std::string& key) {
        const std::size_t at = json.find("\"" + key + "\": ");
        EXPECT_NE(at, std::string::npos) << key << " in " << json;
        return at == std::string::npos ? -1 : std::stod(json.substr(at + key.size() + 4));
    }

    std::filesystem::path folder;
};

} // namespace

// A person on a trip: an hour recorded at +09:00, a tag after it, and one on the next
// morning there, read on machines in other zones. Each tag is in one day, once.
TEST_F(DayTilingTest, EachMomentInOneDayWhateverTheZones) {
    write(folder / "2026-03-10.jsonl",
          event("2026-03-10T09:00:00.000+09:00", "2026-03-10T10:00:00.000+09:00", 3600, "Code"));
    // And a second machine at -07:00 two days on.
    write(folder / "2026-03-12.jsonl",
          event("2026-03-12T23:30:00.000-07:00", "2026-03-13T00:30:00.000-07:00", 3600, "Word"));
    for (const auto& [from, to] : {std::pair{"2026-03-10 10:00+09:00", "2026-03-10 11:00+09:00"},
                                   std::pair{"2026-03-11 02:00+09:00", "2026-03-11 03:00+09:00"},
                                   std::pair{"2026-03-12 23:00-07:00", "2026-03-13 01:00-07:00"}}) {
        RunOutput tagged;
        ASSERT_EQ(runReport({"activity-report", "tag", "--dir", folder.string(), "--from", from,
                             "--to", to, "Meeting"},
                            Clock{later, zones[0].offsetAt}, folder, tagged),
                  0)
            << tagged.err;
    }
    const std::vector<std::string> days = {"2026-03-09", "2026-03-10", "2026-03-11",
                                           "2026-03-12", "2026-03-13", "2026-03-14"};
    for (const Zone& zone : zones) {
        SCOPED_TRACE(zone.name);
        for (const char* by : {"project", "app", "category"}) {
            SCOPED_TRACE(by);
            const std::string whole =
                run({"--from", days.front(), "--to", days.back(), "--by", by, "--format", "json"},
                    zone)
                    .out;
            // The three tags, four hours, and the two events outside them: once each.
            EXPECT_EQ(number(whole, "tagged_seconds"), 4 * 3600.0);
            EXPECT_EQ(number(whole, "active_seconds"), 2 * 3600.0);
            double span = 0, tagged = 0, total = 0;
            for (const std::string& day : days) {
                const std::string one =
                    run({"--day", day, "--by", by, "--format", "json"}, zone).out;
                span += number(one, "span_seconds");
                tagged += number(one, "tagged_seconds");
                total += number(one, "total_seconds");
            }
            EXPECT_EQ(span, number(whole, "span_seconds"));
            EXPECT_EQ(tagged, number(whole, "tagged_seconds"));
            EXPECT_EQ(total, number(whole, "total_seconds"));
        }
        // The timesheet bills the meeting on the day it was, by the clock it was held at.
        const std::string sheet = run({"--from", "2026-03-09", "--to", "2026-03-10", "--by",
                                       "project", "--format", "timesheet"},
                                      zone)
                                      .out;
        EXPECT_EQ(sheet, "date,project,hours\r\n"
                         "2026-03-10,Meeting,1.00\r\n"
                         "2026-03-10,Uncategorised,1.00\r\n");
    }
}

// An event that runs on past the next midnight is no event wherever it's read, so no
// report of one of its days counts it while another can't see it; it is counted and said.
TEST_F(DayTilingTest, AnEventPastTheNextMidnightIsRefusedAndCounted) {
    write(
        folder / "2026-03-08.jsonl",
        event("2026-03-08T10:00:00.000+01:00", "2026-03-08T11:00:00.000+01:00", 3600, "Code") +
            event("2026-03-08T22:00:00.000+01:00", "2026-03-11T02:00:00.000+01:00", 187200,
                  "Word") +
            event("2026-03-08T23:00:00.000+01:00", "2026-03-09T01:00:00.000+01:00", 7200, "Edge"));
    const Zone& zone = zones[2];
    struct Case {
        std::vector<std::string> selection;
        double total;
        bool said;
    };
    const Case cases[] = {
        {{"--from", "2026-03-08", "--to", "2026-03-11"}, 3 * 3600.0, true},
        {{"--day", "2026-03-08"}, 2 * 3600.0, true},
        {{"--day", "2026-03-09"}, 3600.0, false},
        {{"--day", "2026-03-10"}, 0.0, false},
        {{"--day", "2026-03-11"}, 0.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection.back());
        std::vector<std::string> arguments = c.selection;
        arguments.insert(arguments.end(), {"--by", "app", "--format", "json"});
        const RunOutput output = run(arguments, zone);
        EXPECT_EQ(number(output.out, "total_seconds"), c.total);
        EXPECT_EQ(output.err.find("running on past the next midnight") != std::string::npos, c.said)
            << output.err;
    }
}
