// Guards the table's rows against accidental edits: each row as the product sheet
// lists it, in plain text, parsed here and looked up through the table.
#include "knowledge/app_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

// executable | display name | title rule | category
constexpr char expectedRows[] = R"(msedge.exe|Microsoft Edge|3|1
olk.exe|Outlook|1|3
ms-teams.exe|Microsoft Teams|1|2
Firefox.exe|Mozilla Firefox|1|1
Chrome.exe|Google Chrome|1|1
Code.exe|Visual Studio Code|1|5
PickerHost.exe|Task switching|2|4
explorer.exe|Explorer|2|10
Docker Desktop.exe|Docker|1|11
SearchHost.exe|System search|2|4
ONENOTE.EXE|OneNote|1|6
ShellExperienceHost.exe|System|2|4
devenv.exe|Visual Studio|1|5
WindowsTerminal.exe|Windows Terminal|2|12
LockApp.exe|Locked screen|2|4
putty.exe|PuTTY|2|12
MongoDBCompass.exe|MongoDB Compass|0|7
Spotify.exe|Spotify|2|13
ApplicationFrameHost.exe|System|2|4
StartMenuExperienceHost.exe|System|2|4
msedgewebview2.exe|Microsoft Edge|2|1
rundll32.exe|System|2|4
discord.exe|Discord|2|2
Photos.exe|Photos|2|14
AmazonPhotos.exe|Amazon Photos|2|14
WINWORD.EXE|Microsoft Word|1|8
EXCEL.EXE|Microsoft Excel|1|9
POWERPNT.EXE|Microsoft PowerPoint|1|15
steam.exe|Steam|2|16
steamwebhelper.exe|Steam|2|16
SketchUp.exe|SketchUp|1|17
)";

std::wstring widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(AppTable, HoldsExactlyTheListedRows) {
    const AppTable table = buildAppTable();
    std::istringstream rows(expectedRows);
    std::string line;
    std::set<int> categories;
    std::size_t count = 0;
    while (std::getline(rows, line)) {
        std::istringstream fields(line);
        std::string exe, name, rule, category;
        std::getline(fields, exe, '|');
        std::getline(fields, name, '|');
        std::getline(fields, rule, '|');
        std::getline(fields, category, '|');
        const AppEntry* entry = lookupApp(widen(exe));
        ASSERT_NE(entry, nullptr) << exe;
        EXPECT_EQ(std::wstring(entry->displayName), widen(name)) << exe;
        EXPECT_EQ(entry->displayNameLength, static_cast<std::int32_t>(name.size())) << exe;
        EXPECT_EQ(entry->titleRule, std::stoi(rule)) << exe;
        EXPECT_EQ(entry->category, std::stoi(category)) << exe;
        EXPECT_EQ(entry->privateMarker, exe == "msedge.exe" ? L"[InPrivate]" : L"") << exe;
        ASSERT_EQ(table.count(widen(exe)), 1u) << exe;
        categories.insert(entry->category);
        ++count;
    }
    EXPECT_EQ(count, 31u);
    EXPECT_EQ(table.size(), count);
    EXPECT_EQ(categories.size(), 17u) << "every category from 1 to 17 is used";
    EXPECT_EQ(categories.count(0), 0u);
}

TEST(AppTable, LookupsAreExactAndCaseSensitive) {
    for (const wchar_t* absent : {L"chrome.exe", L"firefox.exe", L"winword.exe", L"WINWORD.EXE ",
                                  L"Unknown", L"", L"msedge"}) {
        EXPECT_EQ(lookupApp(absent), nullptr) << std::string(absent, absent + std::wcslen(absent));
    }
}

} // namespace
