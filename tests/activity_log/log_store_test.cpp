// The log store on a real folder: a leftover open event recovered once, and events
// kept while the folder can't be written, then written in order.
#include "activity_log/log_store.h"
#include "logformat/log_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using logformat::LogEvent;

LogEvent event(std::int64_t startMs, const std::string& title) {
    LogEvent e;
    e.start = {startMs, 60};
    e.end = {startMs + 5000, 60};
    e.title = title;
    e.pid = 9;
    return e;
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
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("activity-log-store-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        day = folder / logformat::dayFileName(logformat::localDate(event(morning, "").start));
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(folder, error);
    }
    activity_log::LogStore store() const {
        activity_log::LogStore s;
        s.directory = folder;
        return s;
    }
};

TEST_F(LogStoreTest, ALeftoverOpenEventIsAppendedOnce) {
    const std::string before = logformat::formatLogEvent(event(morning - 5000, "before"));
    const std::string leftover = logformat::formatLogEvent(event(morning, "open"));
    // Killed with the open event in current.json: it is appended at the next start.
    writeWhole(day, before);
    writeWhole(folder / "current.json", leftover);
    auto first = store();
    activity_log::recoverLeftover(first);
    EXPECT_EQ(readWhole(day), before + leftover);
    EXPECT_FALSE(fs::exists(folder / "current.json"));

    // Killed after appending it and before replacing current.json: not twice.
    writeWhole(folder / "current.json", leftover);
    auto second = store();
    activity_log::recoverLeftover(second);
    EXPECT_EQ(readWhole(day), before + leftover);

    // Whatever else current.json holds is no event.
    writeWhole(folder / "current.json", "{\"start\": tru");
    auto third = store();
    activity_log::recoverLeftover(third);
    EXPECT_EQ(readWhole(day), before + leftover);
    EXPECT_FALSE(fs::exists(folder / "current.json"));
}

TEST_F(LogStoreTest, EventsWaitWhileTheFolderCantBeWrittenThenGoInOrder) {
    auto s = store();
    ASSERT_TRUE(activity_log::keepEvents(s, {event(morning, "one")}));
    // The folder gone and a file in its place: nothing can be written there.
    fs::rename(folder, folder.string() + ".away");
    writeWhole(folder, "");
    EXPECT_FALSE(activity_log::keepEvents(s, {event(morning + 5000, "two")}));
    EXPECT_FALSE(activity_log::keepEvents(s, {event(morning + 10000, "three")}));
    EXPECT_TRUE(s.failing);
    EXPECT_EQ(s.pending.size(), 2u);
    fs::remove(folder);
    fs::rename(folder.string() + ".away", folder);
    EXPECT_TRUE(activity_log::keepEvents(s, {}));
    EXPECT_FALSE(s.failing);
    EXPECT_EQ(readWhole(day), logformat::formatLogEvent(event(morning, "one")) +
                                  logformat::formatLogEvent(event(morning + 5000, "two")) +
                                  logformat::formatLogEvent(event(morning + 10000, "three")));
}

} // namespace
