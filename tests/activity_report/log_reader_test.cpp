// Day files read forwards, and from the end in pieces: lines that cross a piece's end,
// lines longer than a piece, and the last line cut short.
#include "activity_report/log_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace report;

TEST(LogReader, LinesAcrossAndBeyondThePiecesOfAFile) {
    // Mostly ordinary lines, and now and then one longer than a piece.
    const auto titleSize = [](int i) -> std::size_t {
        return i % 100 == 7 ? 300'000 : i % 100 == 57 ? 131'072 : static_cast<std::size_t>(i % 300);
    };
    std::vector<std::string> titles;
    std::string content;
    for (int i = 0; i < 1500; ++i) {
        logformat::LogEvent event;
        event.start = {1'773'000'000'000 + i * 1000, 60};
        event.end = {event.start.unixMs + 1000, 60};
        event.title =
            std::to_string(i) + std::string(titleSize(i), 'a' + static_cast<char>(i % 26));
        titles.push_back(event.title);
        content += logformat::formatLogEvent(event);
        if (i % 500 == 0) {
            content += "\r\n  \n"; // blank lines are no lines
        }
    }
    const std::string cut = content.substr(0, 70);
    const auto file = std::filesystem::temp_directory_path() / "activity-report-reader-test.jsonl";
    {
        std::ofstream out(file, std::ios::binary);
        out << content << cut;
    }

    std::vector<std::string> forwards;
    std::uint64_t skipped = 0;
    std::string buffer;
    readDayFile(
        file, skipped, [&](logformat::LogEvent& event) { forwards.push_back(event.title); },
        buffer);
    EXPECT_EQ(forwards, titles);
    EXPECT_EQ(skipped, 1u);

    std::vector<std::string> backwards;
    readDayFileBackwards(file, [&](logformat::LogEvent& event) {
        backwards.push_back(event.title);
        return true;
    });
    EXPECT_EQ(backwards, std::vector<std::string>(titles.rbegin(), titles.rend()));

    std::vector<std::string> lastThree;
    readDayFileBackwards(file, [&](logformat::LogEvent& event) {
        lastThree.push_back(event.title);
        return lastThree.size() < 3;
    });
    EXPECT_EQ(lastThree, std::vector<std::string>(titles.rbegin(), titles.rbegin() + 3));
    std::filesystem::remove(file);
}
