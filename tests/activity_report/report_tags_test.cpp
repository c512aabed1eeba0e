// Tags as a user makes them: activity-report tag, its file, and the times it reads.
#include "activity_report/run_report.h"
#include "activity_report/tags.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace report;

namespace {

// 2026-03-10T10:00+01:00, in a zone that is always +01:00.
const Clock clock{1'773'133'200'000, [](std::int64_t) { return std::int32_t{60}; }};

// New York in 2026: -04:00 from 03-08 07:00Z to 11-01 06:00Z, else -05:00.
std::int32_t newYork(std::int64_t unixMs) {
    return unixMs >= 1'772'953'200'000 && unixMs < 1'793'512'800'000 ? -240 : -300;
}

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

    int tag(std::vector<std::string> arguments, const Clock& at = clock) {
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
    ASSERT_EQ(tag({"--from", "2026-03-09 12:00", "--to", "2026-03-09 13:00", "lunch"}), 0);
    EXPECT_NE(output.out.find("(id tboec0-3)"), std::string::npos) << output.out;
}

TEST_F(TagCommandTest, DamagedLinesAreSkippedAndCountedNeverRewritten) {
    const std::string good = formatTagLine("a1", {1'773'046'800'000, 60}, {1'773'050'400'000, 60},
                                           "Work/Client A", {1'773'050'400'000, 60});
    const std::string damaged = "{\"id\": \"a2\", \"start\": \"2026-03-09T10:00:00.000+01:00\"\n"
                                "not json at all\n"
                                "{\"remove\": \"a1\"}\n"; // a removal needs its time
    const std::string cut = "{\"id\": \"a3\", \"start\": \"2026-03-09T1";
    std::ofstream(folder / tagFileName, std::ios::binary) << good << damaged << cut;

    ASSERT_EQ(tag({"--list"}), 0);
    EXPECT_NE(output.out.find("Work/Client A"), std::string::npos) << output.out;
    EXPECT_NE(output.err.find("skipped 4 lines of"), std::string::npos) << output.err;

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
        {{"--from", from, "--to", to, "/Work"}, 2, "can't be empty"},
        {{"--from", from, "--to", to, "a\x1b[31mb"}, 2, "control characters"},
        {{"--from", from, "--to", to, "caf\xE9"}, 2, "isn't UTF-8"},
        {{"--from", from, "--to", to}, 2, "needs --from, --to and a label"},
        {{"--from", from, "x"}, 2, "needs --from, --to and a label"},
        {{"--from", "10:00", "--to", to, "x"}, 2, "--from: not a time of the form"},
        {{"--from", from, "--to", "2026-03-09 25:00", "x"}, 2, "--to: not a time"},
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

TEST(TagTimes, LocalTimesReadAsTheMachinesClockDid) {
    struct Case {
        std::string text;
        std::int64_t unixMs; // 0: refused
        std::string problem;
    };
    const Case cases[] = {
        {"2026-03-08 01:30", 1'772'951'400'000, ""},
        {"2026-03-08T03:30", 1'772'955'000'000, ""},
        {"2026-03-08 03:30:05.25", 1'772'955'005'250, ""},
        {"2026-03-08 02:30", 0, "the clocks skipped it"},
        // The hour the clocks repeat: the first time through, unless an offset says.
        {"2026-11-01 01:30", 1'793'511'000'000, ""},
        {"2026-11-01 01:30-05:00", 1'793'514'600'000, ""},
        {"2026-11-01 06:30Z", 1'793'514'600'000, ""},
        {"2026-11-01", 0, "not a time"},
        {"2026-11-01 1:30", 0, "not a time"},
        {"2026-11-01 24:00", 0, "not a time"},
        {"2026-02-30 10:00", 0, "not a time"},
        {"2026-11-01 10:00:60", 0, "not a time"},
        {"2026-11-01 10:00:00.1234", 0, "not a time"},
        {"2026-11-01 10:00+5", 0, "not a time"},
        {"2026-11-01 10:00 ", 0, "not a time"},
    };
    for (const Case& c : cases) {
        const LocalTimeParse parsed = parseLocalTime(c.text, newYork);
        if (c.unixMs == 0) {
            EXPECT_FALSE(parsed.moment) << c.text;
            EXPECT_NE(parsed.problem.find(c.problem), std::string::npos) << parsed.problem;
            continue;
        }
        ASSERT_TRUE(parsed.moment) << c.text << ": " << parsed.problem;
        EXPECT_EQ(parsed.moment->unixMs, c.unixMs) << c.text;
        EXPECT_EQ(parsed.moment->offsetMinutes, newYork(c.unixMs)) << c.text;
        // Written back, it reads as the same moment.
        const std::string written = formatLocalTime(c.unixMs, newYork);
        EXPECT_EQ(parseLocalTime(written, newYork).moment->unixMs, c.unixMs) << written;
    }
    EXPECT_EQ(formatLocalTime(1'793'511'000'000, newYork), "2026-11-01 01:30");
    EXPECT_EQ(formatLocalTime(1'793'514'600'000, newYork), "2026-11-01 01:30-05:00");
    EXPECT_EQ(formatLocalTime(1'772'955'005'250, newYork), "2026-03-08 03:30:05.250");
}
