// One sample of a window with an exact title, through the real executable: the Title
// bytes (UTF-8, quotes and backslashes replaced, controls escaped), the curated title
// and document of an application the table doesn't know (the title itself, UTF-8 by
// code unit), the owner's Pid, Name and Path, and CR LF.
#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct TitleCase {
    const char* name;
    std::wstring title;
    std::string titleBytes;   // as Title writes it
    std::string curatedBytes; // as Curated_title and Doc write it
};

std::string repeated(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

std::wstring digits(std::size_t units) {
    std::wstring text;
    for (std::size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<wchar_t>(L'0' + i % 10));
    }
    return text;
}

std::string digitBytes(std::size_t units) {
    std::string text;
    for (std::size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<char>('0' + i % 10));
    }
    return text;
}

std::vector<TitleCase> titleCases() {
    const std::string ffff = "\xEF\xBF\xBD"; // U+FFFD, for a lone surrogate
    return {
        {"Ascii", L"Quarterly report - notes", "Quarterly report - notes",
         "Quarterly report - notes"},
        {"Controls",
         L"a\tb\nc\rd\x01"
         L"e\x1F"
         L"f\bg\fh\x7F"
         L"i",
         "a\\tb\\nc\\rd\\u0001e\\u001ff\\bg\\fh\x7Fi",
         "a\\tb\\nc\\rd\\u0001e\\u001ff\\bg\\fh\x7Fi"},
        {"QuotesAndBackslashes", L"say \"hi\" to C:\\dir\\", "say  hi  to C:/dir/",
         "say  hi  to C:/dir/"},
        {"LatinAndCyrillic", L"caf\u00E9 \u041F\u0440\u0438\u0432\u0435\u0442",
         "caf\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
         "caf\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"OutsideTheBmp", L"smile \xD83D\xDE00 end", "smile \xF0\x9F\x98\x80 end",
         "smile \xED\xA0\xBD\xED\xB8\x80 end"},
        {"LoneSurrogate",
         L"a\xD800"
         L"b",
         "a" + ffff + "b", "a" + ffff + "b"},
        {"Exactly1023Units", digits(1023), digitBytes(1023), digitBytes(1023)},
        // The window manager copies 1023 units of a longer title.
        {"LongerThan1023Units", digits(1500), digitBytes(1023), digitBytes(1023)},
        // 3 bytes each in UTF-8: 3069 bytes, and none of them lost.
        {"Long1023UnitsCjk", std::wstring(1023, L'\u4E2D'), repeated("\xE4\xB8\xAD", 1023),
         repeated("\xE4\xB8\xAD", 1023)},
        // The copy ends inside the pair: its high half is left alone.
        {"PairCutAt1023Units", std::wstring(1022, L'a') + L"\xD83D\xDE00" + L"z",
         std::string(1022, 'a') + ffff, std::string(1022, 'a') + ffff},
        {"Empty", L"", "", ""},
    };
}

// Failures name the case, not its bytes.
void PrintTo(const TitleCase& tested, std::ostream* out) {
    *out << tested.name;
}

class TitleTest : public testing::TestWithParam<TitleCase> {};

TEST_P(TitleTest, LineCarriesTheTitleExactly) {
    const TitleCase& c = GetParam();
    const std::wstring helperPath = e2e::windowHelperPath();
    const std::wstring work = e2e::freshDirectory(L"title");
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(helperPath, c.title, work, helper));

    const e2e::RunResult run = e2e::runSampler();

    e2e::Line expected;
    expected.title = c.titleBytes;
    expected.curatedTitle = c.curatedBytes;
    expected.doc = c.curatedBytes;
    expected.pid = helper.pid;
    expected.name = "window_helper.exe";
    expected.path = e2e::expectedImagePath(helperPath);
    e2e::expectSampleLine(run, expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, TitleTest, testing::ValuesIn(titleCases()),
                         [](const testing::TestParamInfo<TitleCase>& tested) {
                             return std::string(tested.param.name);
                         });

// The whole line for a plain title, written out: only Pid and Path depend on the run.
TEST(SpineLine, PlainTitleGivesTheFullLine) {
    const std::wstring helperPath = e2e::windowHelperPath();
    const std::wstring work = e2e::freshDirectory(L"plain");
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(helperPath, L"Inbox", work, helper));

    const e2e::RunResult run = e2e::runSampler();

    const std::string path = e2e::expectedImagePath(helperPath);
    ASSERT_EQ(path.rfind("/Device/HarddiskVolume", 0), 0u) << path;
    ASSERT_EQ(path.substr(path.size() - 18), "/window_helper.exe") << path;
    EXPECT_EQ(run.out, "{\"Title\": \"Inbox\", \"Curated_title\": \"Inbox\", \"Doc\": \"Inbox\", "
                       "\"URL\": \"\", \"Owner\": {\"Pid\": " +
                           std::to_string(helper.pid) +
                           ", \"Name\": \"window_helper.exe\", \"Path\": \"" + path +
                           "\"}, \"App_cat_nb\": 0}\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0u);
}

} // namespace
