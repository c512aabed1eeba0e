// Curated title and document name through the real executable, for an owner with each
// title rule: the window helper copied under the table's names.
#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CurationCase {
    const char* name;
    std::wstring fileName;
    std::wstring title; // ASCII, so its bytes in the line are its units
    std::string curated;
    std::string doc;
    std::string ownerName;
    long long category;
};

// The longest title a window gives here, each " -" on one line: the engine's deepest
// search, in the program's own main thread.
std::wstring longestDashedTitle() {
    std::wstring title;
    while (title.size() + 4 <= 1023) {
        title += L"a - ";
    }
    return title + L"end";
}

std::vector<CurationCase> curationCases() {
    return {
        {"DatabaseDropsThroughLastDash", L"MongoDBCompass.exe",
         L"Connections - localhost:27017 - shop.orders", "shop.orders", "shop.orders",
         "MongoDB Compass", 7},
        {"DatabaseWithoutSpaceHyphen", L"MongoDBCompass.exe", L"report-final copy",
         "report-final copy", "report-final copy", "MongoDB Compass", 7},
        {"WordDropsLastDashPart", L"WINWORD.EXE", L"Re: follow-up   -   Word", "Re: follow-up",
         "Re: follow-up", "Microsoft Word", 8},
        {"WordTitleStartingWithDash", L"WINWORD.EXE", L"- Word", "", "", "Microsoft Word", 8},
        {"BrowserTabs", L"msedge.exe", L"Weather and 2 more pages - Profile 1 - Microsoft Edge",
         "Weather", "Weather", "Microsoft Edge", 1},
        {"BrowserSingleTab", L"msedge.exe", L"Search results - Microsoft Edge",
         "Search results - Microsoft Edge", "Search results - Microsoft Edge", "Microsoft Edge", 1},
        {"BrowserPrivate", L"msedge.exe", L"New tab - [InPrivate] - Microsoft Edge", "[Private]",
         "", "Microsoft Edge", 1},
        {"BrowserMarkerInOtherCase", L"msedge.exe", L"[inprivate] notes - Microsoft Edge",
         "[inprivate] notes - Microsoft Edge", "[inprivate] notes - Microsoft Edge",
         "Microsoft Edge", 1},
        {"DatabaseLongestTitle", L"MongoDBCompass.exe", longestDashedTitle(), "end", "end",
         "MongoDB Compass", 7},
        {"MusicKeepsTitle", L"Spotify.exe", L"Artist - Song (Live) - Spotify",
         "Artist - Song (Live) - Spotify", "Artist - Song (Live) - Spotify", "Spotify", 13},
    };
}

class CurationTest : public testing::TestWithParam<CurationCase> {};

TEST_P(CurationTest, LineCarriesCuratedTitleAndDocument) {
    const CurationCase& c = GetParam();
    const std::wstring directory = e2e::freshDirectory(L"curation");
    const std::wstring executable = e2e::copyWindowHelper(directory, c.fileName);
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(executable, c.title, directory, helper));

    const e2e::RunResult run = e2e::runSampler();

    e2e::Line expected;
    expected.title = std::string(c.title.begin(), c.title.end());
    expected.curatedTitle = c.curated;
    expected.doc = c.doc;
    expected.pid = helper.pid;
    expected.name = c.ownerName;
    expected.path = e2e::expectedImagePath(executable);
    expected.category = c.category;
    e2e::expectSampleLine(run, expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, CurationTest, testing::ValuesIn(curationCases()),
                         [](const testing::TestParamInfo<CurationCase>& tested) {
                             return std::string(tested.param.name);
                         });

} // namespace
