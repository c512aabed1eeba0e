// The log store on a real folder: current.json's events appended once at the next start,
// a torn last line left on a line of its own, and events that can't be written kept in
// current.json.
#include "activity_log/forget_command.h"
#include "activity_log/log_store.h"
#include "logformat/log_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using logformat::LogEvent;

LogEvent event(std::int64_t startMs, const std::string& title, std::int64_t seconds = 5) {
    LogEvent e;
    e.start = {startMs, 60};
    e.end = {startMs + seconds * 1000, 60};
    e.title = title;
    e.pid = 9;
    e.exePath = "/usr/bin/editor";
    return e;
}

LogEvent excluded(LogEvent e) {
    e.title = "excluded";
    return e;
}

std::string line(const LogEvent& e) {
    return logformat::formatLogEvent(e);
}

// 2026-12-07 10:00 local (UTC+01:00).
constexpr std::int64_t morning = 1'796'634'000'000;

std::string readWhole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeWhole(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

struct LogStoreTest : ::testing::Test {
    fs::path folder;
    fs::path day;
    fs::path current;
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("activity-log-store-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        day = folder / logformat::dayFileName(logformat::localDate(event(morning, "").start));
        current = folder / logformat::currentEventFileName;
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(folder, error);
    }
    // A collector's start: the folder held, and current.json's events taken in.
    activity_log::LogStore started() const {
        activity_log::LogStore s;
        s.directory = folder;
        EXPECT_EQ(activity_log::holdFolder(s), activity_log::FolderHold::held);
        return s;
    }
};

TEST_F(LogStoreTest, CurrentJsonsEventsAreAppendedUnlessTheirDayFileHoldsThem) {
    const std::string before = line(event(morning - 5000, "before"));
    const LogEvent open = event(morning, "open", 9);
    LogEvent openEarlier = open;
    openEarlier.end.unixMs -= 4000;
    LogEvent otherExe = open;
    otherExe.exePath = "/opt/other/editor";
    struct Case {
        const char* what;
        std::string dayFile, currentJson, expected;
    };
    const Case cases[] = {
        {"killed with the open event in current.json", before, line(open), before + line(open)},
        {"killed after the append, before current.json was replaced: it ended earlier there",
         before + line(open), line(openEarlier), before + line(open)},
        {"a rename that a power cut took back: an event appended, others after it",
         before + line(open) + line(event(morning + 9000, "later")), before,
         before + line(open) + line(event(morning + 9000, "later"))},
        {"the same start and title in another executable is another event", before + line(open),
         line(otherExe), before + line(open) + line(otherExe)},
        {"events that waited, then the open one: those the day file lacks, in order",
         before + line(event(morning + 1000, "q1")),
         line(event(morning + 1000, "q1")) + line(event(morning + 6000, "q2")) +
             line(event(morning + 11000, "open")),
         before + line(event(morning + 1000, "q1")) + line(event(morning + 6000, "q2")) +
             line(event(morning + 11000, "open"))},
        {"a day file holding only the leftover event", line(open), line(openEarlier), line(open)},
        {"killed while forgetting: the day file's line forgotten, current.json's not yet",
         before + line(excluded(open)), line(open), before + line(excluded(open))},
        {"killed while forgetting: current.json's event forgotten, the day file's not yet",
         before + line(open), line(excluded(open)), before + line(open)},
        {"whatever else current.json holds is no event", before, "{\"start\": tru", before},
        {"a zero-length current.json, as a power cut can leave it", before, "", before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeWhole(day, c.dayFile);
        writeWhole(current, c.currentJson);
        {
            auto s = started();
            EXPECT_TRUE(activity_log::keepEvents(s, {}));
            EXPECT_EQ(readWhole(day), c.expected);
            EXPECT_TRUE(activity_log::saveCurrent(s, std::nullopt));
            EXPECT_FALSE(fs::exists(current));
        }
        // Started once more, nothing is appended again.
        writeWhole(current, c.currentJson);
        auto again = started();
        EXPECT_TRUE(activity_log::keepEvents(again, {}));
        EXPECT_EQ(readWhole(day), c.expected);
        EXPECT_TRUE(activity_log::saveCurrent(again, std::nullopt));
    }
}

TEST_F(LogStoreTest, ATornLastLineStaysOnALineOfItsOwn) {
    const std::string whole = line(event(morning - 5000, "before"));
    const std::string next = line(event(morning, "next"));
    struct Case {
        const char* what;
        std::string dayFile, expected;
    };
    const Case cases[] = {
        {"a line cut short", whole + whole.substr(0, 40),
         whole + whole.substr(0, 40) + "\n" + next},
        {"NUL padding", whole + std::string(16, '\0'), whole + std::string(16, '\0') + "\n" + next},
        {"a whole last line", whole, whole + next},
        {"an empty file", "", next},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeWhole(day, c.dayFile);
        auto s = started();
        EXPECT_TRUE(activity_log::keepEvents(s, {event(morning, "next")}));
        EXPECT_EQ(readWhole(day), c.expected);
    }
}

TEST_F(LogStoreTest, EventsThatCantBeWrittenWaitInCurrentJsonThenGoInOrder) {
    const fs::path aside = folder / "aside";
    {
        auto s = started();
        ASSERT_TRUE(activity_log::keepEvents(s, {event(morning, "one")}));
        // A folder in the day file's place: that file can't be written, current.json can.
        fs::rename(day, aside);
        fs::create_directory(day);
        EXPECT_FALSE(activity_log::keepEvents(s, {event(morning + 5000, "two")}));
        EXPECT_FALSE(activity_log::keepEvents(s, {event(morning + 10000, "three")}));
        EXPECT_TRUE(s.failing);
        EXPECT_TRUE(activity_log::saveCurrent(s, event(morning + 15000, "open")));
        EXPECT_EQ(readWhole(current), line(event(morning + 5000, "two")) +
                                          line(event(morning + 10000, "three")) +
                                          line(event(morning + 15000, "open")));
    } // killed: what was in memory is gone

    auto s = started();
    EXPECT_FALSE(activity_log::keepEvents(s, {}));
    EXPECT_TRUE(activity_log::saveCurrent(s, event(morning + 25000, "reopened")));
    fs::remove(day);
    fs::rename(aside, day);
    EXPECT_TRUE(activity_log::keepEvents(s, {}));
    EXPECT_FALSE(s.failing);
    EXPECT_EQ(readWhole(day), line(event(morning, "one")) + line(event(morning + 5000, "two")) +
                                  line(event(morning + 10000, "three")) +
                                  line(event(morning + 15000, "open")));
    EXPECT_TRUE(activity_log::saveCurrent(s, event(morning + 25000, "reopened")));
    EXPECT_EQ(readWhole(current), line(event(morning + 25000, "reopened")));
}

} // namespace

// A line nested far deeper than any JSON the collector writes, in each file activity-log
// reads (current.json and the day files, at the collector's start and in forget): one
// damaged line to every reader. A current.json holding one is set aside under a name of
// its own for the user to find, and the collector takes in its events and goes on.
TEST_F(LogStoreTest, ALineNestedTooDeepIsOneDamagedLineToEveryReader) {
    const std::string deep =
        "{\"x\": " + std::string(200'000, '[') + std::string(200'000, ']') + "}\n";
    const std::string before = line(event(morning - 5000, "before"));
    const std::string open = line(event(morning, "open", 9));
    struct Case {
        const char* what;
        std::string dayFile, currentJson, expected;
        bool setAside;
    };
    const Case cases[] = {
        {"in current.json, after its open event", before, open + deep, before + open, true},
        {"in current.json, before it", before, deep + open, before + open, true},
        {"in the day file the start reads", before + deep, open, before + deep + open, false},
    };
    const auto setAside = [&] {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("current.json.damaged-")) {
                files.push_back(entry.path());
            }
        }
        return files;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const fs::path& file : setAside()) {
            fs::remove(file);
        }
        writeWhole(day, c.dayFile);
        writeWhole(current, c.currentJson);
        {
            auto s = started();
            EXPECT_TRUE(activity_log::keepEvents(s, {}));
            EXPECT_EQ(readWhole(day), c.expected);
            EXPECT_TRUE(activity_log::saveCurrent(s, std::nullopt));
        }
        const std::vector<fs::path> aside = setAside();
        ASSERT_EQ(aside.size(), c.setAside ? 1u : 0u);
        if (c.setAside) {
            EXPECT_EQ(readWhole(aside[0]), c.currentJson);
        }

        // forget, holding the folder itself: the text goes, and the damaged line with it.
        writeWhole(current, c.currentJson);
        activity_log::ForgetOptions forget;
        forget.range = {morning - 5000, morning + 9000};
        forget.directory = folder;
        EXPECT_EQ(activity_log::runForget(forget), 0);
        for (const fs::path& file : {day, current}) {
            const std::string text = readWhole(file);
            EXPECT_EQ(text.find("[["), std::string::npos);
            EXPECT_EQ(text.find("\"before\""), std::string::npos);
            EXPECT_EQ(text.find("\"open\""), std::string::npos);
        }
    }
}
