// The owner of the foreground window, through the real executable: the window helper
// copied under table names and others, and into a folder the narrowing can't write.
#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct OwnerCase {
    const char* name;
    std::wstring folder; // below the case's directory; empty for none
    std::wstring fileName;
    std::wstring title;
    std::string curatedBytes; // Curated_title and Doc
    std::string nameBytes;
    long long category;
    std::string pathEnd; // the Path's last bytes; empty when Path is empty
};

std::vector<OwnerCase> ownerCases() {
    return {
        {"Word", L"", L"WINWORD.EXE", L"report.docx - Word", "report.docx", "Microsoft Word", 8,
         "/WINWORD.EXE"},
        // Its rule keeps the title, dashes and all.
        {"LockScreen", L"", L"LockApp.exe", L"Lock screen - Monday", "Lock screen - Monday",
         "Locked screen", 4, "/LockApp.exe"},
        {"ChromeAsListed", L"", L"Chrome.exe", L"New Tab - Google Chrome", "New Tab",
         "Google Chrome", 1, "/Chrome.exe"},
        // Names match with their letter case: this one is not in the table.
        {"ChromeInLowerCase", L"", L"chrome.exe", L"New Tab - Google Chrome",
         "New Tab - Google Chrome", "chrome.exe", 0, "/chrome.exe"},
        {"NotInTable", L"", L"notes-tool.exe", L"todo - notes", "todo - notes", "notes-tool.exe", 0,
         "/notes-tool.exe"},
        // é is one byte in Name and Path, not UTF-8.
        {"LatinFileName", L"", L"caf\u00E9.exe", L"menu", "menu", "caf\xE9.exe", 0, "/caf\xE9.exe"},
        {"CyrillicFileName", L"", L"\u043E\u043A\u043D\u043E.exe", L"menu", "menu", "", 0, ""},
        // Path can't be narrowed, but the file name is still the table's.
        {"WordInCyrillicFolder", L"\u043F\u0430\u043F\u043A\u0430", L"WINWORD.EXE",
         L"budget.docx - Word", "budget.docx", "Microsoft Word", 8, ""},
    };
}

// Failures name the case, not its bytes.
void PrintTo(const OwnerCase& tested, std::ostream* out) {
    *out << tested.name;
}

class OwnerTest : public testing::TestWithParam<OwnerCase> {};

TEST_P(OwnerTest, LineNamesTheOwner) {
    const OwnerCase& c = GetParam();
    std::wstring directory = e2e::freshDirectory(L"owner");
    if (!c.folder.empty()) {
        directory += L"\\" + c.folder;
    }
    const std::wstring executable = e2e::copyWindowHelper(directory, c.fileName);
    e2e::HelperWindow helper;
    ASSERT_TRUE(e2e::showWindow(executable, c.title, directory, helper));

    const e2e::RunResult run = e2e::runSampler();

    e2e::Line expected;
    expected.title = std::string(c.title.begin(), c.title.end()); // the titles are ASCII
    expected.curatedTitle = c.curatedBytes;
    expected.doc = c.curatedBytes;
    expected.pid = helper.pid;
    expected.name = c.nameBytes;
    expected.path = e2e::expectedImagePath(executable);
    expected.category = c.category;
    if (c.pathEnd.empty()) {
        EXPECT_EQ(expected.path, "");
    } else {
        ASSERT_GE(expected.path.size(), c.pathEnd.size());
        EXPECT_EQ(expected.path.substr(expected.path.size() - c.pathEnd.size()), c.pathEnd);
    }
    e2e::expectSampleLine(run, expected);
}

INSTANTIATE_TEST_SUITE_P(Owners, OwnerTest, testing::ValuesIn(ownerCases()),
                         [](const testing::TestParamInfo<OwnerCase>& tested) {
                             return std::string(tested.param.name);
                         });

} // namespace
