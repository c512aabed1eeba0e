// Whole runs on the scripted platform, for what a real desktop can't be made to do.
#include "sample_run.h"

#include <gtest/gtest.h>

namespace {

using platform::fake::record;
using platform::fake::Script;
using test::runSampleWith;
using test::windowOf;

TEST(RunDriver, NoForegroundWindowGivesTheEmptyHeadAndUnknownOwner) {
    EXPECT_EQ(runSampleWith(Script{}), test::noWindowLine);
    EXPECT_EQ(record().standardError, "");
}

TEST(RunDriver, EveryFailedRecordAllocationGivesAnEmptyObject) {
    for (int failing = 0; failing < 4; ++failing) {
        Script script = windowOf(L"notes.txt - Editor", L"editor.exe");
        script.failAllocation = failing;
        EXPECT_EQ(runSampleWith(script), "{}\r\n") << "allocation " << failing;
        EXPECT_EQ(record().processesOpened, 0) << "nothing else is done after a failure";
        EXPECT_EQ(record().coUninitializeCalls, 1);
    }
}

TEST(RunDriver, LaterAllocationFailuresStillWriteTheSample) {
    // Past the capture's four records only fields can go missing, never the line.
    for (int failing = 4; failing < 10; ++failing) {
        Script script = windowOf(L"report.docx - Word", L"WINWORD.EXE");
        script.failAllocation = failing;
        const std::string line = runSampleWith(script);
        EXPECT_EQ(line.rfind(R"({"Title": "report.docx - Word", )", 0), 0u) << line;
        EXPECT_NE(line.find(R"("App_cat_nb": 8})"), std::string::npos) << line;
    }
}

TEST(RunDriver, FailedTitleConversionLeavesTheTitleOutButKeepsTheOwner) {
    Script script = windowOf(L"notes.txt - Editor", L"editor.exe");
    script.failWideToNarrowCall = 0;
    EXPECT_EQ(runSampleWith(script),
              R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "", )"
              R"("Owner": {"Pid": 4242, "Name": "editor.exe", )"
              R"("Path": "/Device/HarddiskVolume3/Apps/editor.exe"}, "App_cat_nb": 0})"
              "\r\n");
}

TEST(RunDriver, UnterminatedTitleCountsAsNoTitle) {
    Script script = windowOf(L"", L"LockApp.exe");
    script.titleUnterminated = true;
    EXPECT_EQ(runSampleWith(script),
              R"({"Title": "", "Curated_title": "", "Doc": "", "URL": "", )"
              R"("Owner": {"Pid": 4242, "Name": "Locked screen", )"
              R"("Path": "/Device/HarddiskVolume3/Apps/LockApp.exe"}, "App_cat_nb": 4})"
              "\r\n");
}

struct OwnerCase {
    const char* name;
    bool openFails;
    bool imagePathFails;
    bool modulePathFails;
    const wchar_t* modulePath;
    const char* expectedOwner;
    int expectedCategory;
};

class OwnerFailures : public testing::TestWithParam<OwnerCase> {};

TEST_P(OwnerFailures, AreEmptyFieldsNeverALostSample) {
    const OwnerCase& c = GetParam();
    Script script = windowOf(L"Inbox", L"olk.exe");
    script.openProcessFails = c.openFails;
    script.imagePathFails = c.imagePathFails;
    script.modulePathFails = c.modulePathFails;
    if (c.modulePath != nullptr) {
        script.modulePath = c.modulePath;
    }
    const std::string line = runSampleWith(script);
    EXPECT_EQ(line.rfind(R"({"Title": "Inbox", )", 0), 0u) << line;
    EXPECT_NE(line.find(c.expectedOwner), std::string::npos) << line;
    EXPECT_NE(line.find("\"App_cat_nb\": " + std::to_string(c.expectedCategory) + "}\r\n"),
              std::string::npos)
        << line;
    EXPECT_EQ(record().processesOpened, record().processesClosed);
}

INSTANTIATE_TEST_SUITE_P(
    Owner, OwnerFailures,
    testing::Values(
        OwnerCase{"AccessDenied", true, false, false, nullptr,
                  R"("Owner": {"Pid": 4242, "Name": "Unknown", "Path": ""})", 0},
        OwnerCase{
            "ModulePathUnreadable", false, false, true, nullptr,
            R"("Owner": {"Pid": 4242, "Name": "", "Path": "/Device/HarddiskVolume3/Apps/olk.exe"})",
            0},
        OwnerCase{"ImagePathUnreadable", false, true, false, nullptr,
                  R"("Owner": {"Pid": 4242, "Name": "Outlook", "Path": ""})", 3},
        OwnerCase{"ModulePathWithoutSeparator", false, false, false, L"olk.exe",
                  R"("Name": "Outlook")", 3},
        OwnerCase{"LowerCaseNameNotInTable", false, false, false, L"C:\\Apps\\OLK.EXE",
                  R"("Name": "OLK.EXE")", 0},
        OwnerCase{"LatinOneNameIsOneByte", false, false, false, L"C:\\Apps\\caf\u00e9.exe",
                  "\"Name\": \"caf\xe9.exe\"", 0},
        OwnerCase{"CyrillicNameIsEmpty", false, false, false, L"C:\\Apps\\\u0434\u043e\u043c.exe",
                  R"("Name": "")", 0}),
    [](const testing::TestParamInfo<OwnerCase>& param) { return param.param.name; });

TEST(RunDriver, WindowWithoutOwnerThreadHasPidZero) {
    Script script = windowOf(L"Desktop", L"explorer.exe");
    script.threadId = 0;
    EXPECT_EQ(runSampleWith(script),
              R"({"Title": "Desktop", "Curated_title": "Desktop", "Doc": "Desktop", "URL": "", )"
              R"("Owner": {"Pid": 0, "Name": "Unknown", "Path": ""}, "App_cat_nb": 0})"
              "\r\n");
}

TEST(RunDriver, OpensTheOwnerForQueryAndRead) {
    runSampleWith(windowOf(L"x", L"x.exe"));
    EXPECT_EQ(record().lastOpenAccess, 0x0410u);
    EXPECT_EQ(record().processesOpened, 2);
    EXPECT_EQ(record().processesClosed, 2);
}

TEST(RunDriver, ImagePathComesOutWithSlashesAndLatinOneBytes) {
    Script script = windowOf(L"x", L"x.exe");
    script.imagePath = L"\\Device\\HarddiskVolume3\\Caf\u00e9\\x.exe";
    EXPECT_NE(runSampleWith(script).find("\"Path\": \"/Device/HarddiskVolume3/Caf\xe9/x.exe\""),
              std::string::npos);
    script.imagePath = L"\\Device\\HarddiskVolume3\\\u041f\\x.exe";
    EXPECT_NE(runSampleWith(script).find(R"("Pid": 4242, "Name": "x.exe", "Path": "")"),
              std::string::npos);
}

TEST(RunDriver, TitleQuotesAndBackslashesAreReplacedBeforeAnythingElse) {
    const std::string line = runSampleWith(windowOf(L"say \"hi\" C:\\dir", L"x.exe"));
    EXPECT_EQ(line.rfind(R"({"Title": "say  hi  C:/dir", "Curated_title": "say  hi  C:/dir", )", 0),
              0u)
        << line;
}

// The shortest title there is still goes through curation and the Recent folder.
TEST(RunDriver, OneUnitTitleIsCuratedLikeAnyOther) {
    Script script = windowOf(L"x", L"WINWORD.EXE");
    script.recentFiles[L"x.lnk"] = platform::fake::RecentEntry{0, true, L"C:\\Docs\\x", 0};
    EXPECT_EQ(runSampleWith(script),
              R"({"Title": "x", "Curated_title": "x", "Doc": "x", "URL": "C:/Docs/x", )"
              R"("Owner": {"Pid": 4242, "Name": "Microsoft Word", )"
              R"("Path": "/Device/HarddiskVolume3/Apps/WINWORD.EXE"}, "App_cat_nb": 8})"
              "\r\n");
}

TEST(RunDriver, ResolvedDocumentPathIsUtf8ByCodePointWithSlashes) {
    Script script =
        windowOf(test::units(u"r\u00e9sum\u00e9 \U0001F600.docx - Word"), L"WINWORD.EXE");
    script.recentFiles[test::units(u"r\u00e9sum\u00e9 \U0001F600.docx.lnk")] =
        platform::fake::RecentEntry{0, true,
                                    test::units(u"C:\\Docs\\r\u00e9sum\u00e9 \U0001F600.docx"), 0};
    EXPECT_EQ(runSampleWith(script),
              "{\"Title\": \"r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80.docx - Word\", "
              "\"Curated_title\": \"r\xC3\xA9sum\xC3\xA9 \xED\xA0\xBD\xED\xB8\x80.docx\", "
              "\"Doc\": \"r\xC3\xA9sum\xC3\xA9 \xED\xA0\xBD\xED\xB8\x80.docx\", "
              "\"URL\": \"C:/Docs/r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80.docx\", "
              "\"Owner\": {\"Pid\": 4242, \"Name\": \"Microsoft Word\", "
              "\"Path\": \"/Device/HarddiskVolume3/Apps/WINWORD.EXE\"}, \"App_cat_nb\": 8}\r\n");
}

TEST(RunDriver, UnconvertiblePathLeavesTheUrlEmpty) {
    Script script = windowOf(L"a.txt - Word", L"WINWORD.EXE");
    script.recentFiles[L"a.txt.lnk"] = platform::fake::RecentEntry{0, true, L"C:\\a.txt", 0};
    script.failWideToNarrowCall = 1; // the title converts; the path's count fails
    EXPECT_NE(runSampleWith(script).find(R"("Doc": "a.txt", "URL": "", )"), std::string::npos);
}

} // namespace
