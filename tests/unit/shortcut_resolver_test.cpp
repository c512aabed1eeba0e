// The resolver on the scripted platform: the component failures and limits that a
// real shell can't be made to show.
#include "documents/shortcut_resolver.h"
#include "sample_run.h"

#include <gtest/gtest.h>

namespace {

using platform::fake::RecentEntry;
using platform::fake::record;
using platform::fake::Script;

constexpr platform::HResult failure = static_cast<platform::HResult>(0x80004005u);

Script wordWindow(const std::wstring& document) {
    Script script = test::windowOf(document + L" - Word", L"WINWORD.EXE");
    script.recentFiles[L"report.docx.lnk"] = RecentEntry{0, true, L"C:\\Docs\\report.docx", 0};
    return script;
}

std::string urlOf(const std::string& line) {
    const auto start = line.find(R"("URL": ")");
    const auto end = line.find(R"(", "Owner")");
    return start == std::string::npos || end == std::string::npos
               ? "no URL"
               : line.substr(start + 8, end - start - 8);
}

void expectBalanced() {
    EXPECT_EQ(record().comReferencesMade, record().comReferencesReleased);
    EXPECT_EQ(record().searchesStarted, record().searchesClosed);
}

TEST(ShortcutResolver, UnavailableShellLinkEndsTheRunWithItsMessageOnly) {
    struct Case {
        const char* name;
        platform::HResult initialize;
        platform::HResult create;
        platform::HResult query;
        int uninitializeCalls;
    };
    const Case cases[] = {
        {"create fails", 0, failure, 0, 1},
        {"no persist file", 0, 0, failure, 1},
        {"already initialised, create fails", 1, failure, 0, 1},
        {"initialisation and create fail", failure, failure, 0, 0},
    };
    for (const Case& c : cases) {
        Script script = wordWindow(L"report.docx");
        script.coInitializeResult = c.initialize;
        script.createInstanceResult = c.create;
        script.queryInterfaceResult = c.query;
        EXPECT_EQ(test::runSampleWith(script), "") << c.name;
        EXPECT_EQ(record().standardError, "Unable to access recent documents.\r\n") << c.name;
        EXPECT_GE(record().standardErrorFlushes, 1) << c.name;
        EXPECT_EQ(record().coUninitializeCalls, c.uninitializeCalls) << c.name;
        EXPECT_EQ(record().processesOpened, 0) << c.name << ": no window is sampled";
        expectBalanced();
    }
}

TEST(ShortcutResolver, FailedInitialisationStillSamplesButIsNotBalanced) {
    Script script = wordWindow(L"report.docx");
    script.coInitializeResult = failure;
    EXPECT_EQ(urlOf(test::runSampleWith(script)), "C:/Docs/report.docx");
    EXPECT_EQ(record().coUninitializeCalls, 0);
    expectBalanced();
}

TEST(ShortcutResolver, LoadsTheFoundShortcutReadOnlyAndReadsItsRawPath) {
    EXPECT_EQ(urlOf(test::runSampleWith(wordWindow(L"REPORT.docx"))), "C:/Docs/report.docx");
    const std::wstring recent = Script{}.recentFolder;
    EXPECT_EQ(record().lastSearchPattern, recent + L"\\REPORT.docx.lnk");
    EXPECT_EQ(record().lastLoadedPath, recent + L"\\report.docx.lnk") << "the found name";
    EXPECT_EQ(record().lastLoadMode, 0u);
    EXPECT_EQ(record().lastGetPathFlags, 4u);
    EXPECT_EQ(record().lastGetPathSize, 260);
    EXPECT_EQ(record().coInitializeCalls, 1);
    EXPECT_EQ(record().coUninitializeCalls, 1);
    expectBalanced();
}

TEST(ShortcutResolver, EveryFailedStepLeavesTheUrlEmpty) {
    struct Case {
        const char* name;
        RecentEntry entry;
        platform::HResult folder;
    };
    const Case cases[] = {
        {"directory", RecentEntry{0x10, true, L"C:\\x", 0}, 0},
        {"not a shortcut", RecentEntry{0, false, L"C:\\x", 0}, 0},
        {"path unreadable", RecentEntry{0, true, L"C:\\x", failure}, 0},
        {"no Recent folder", RecentEntry{0, true, L"C:\\x", 0}, failure},
    };
    for (const Case& c : cases) {
        Script script = wordWindow(L"report.docx");
        script.recentFiles[L"report.docx.lnk"] = c.entry;
        script.recentFolderResult = c.folder;
        const std::string line = test::runSampleWith(script);
        EXPECT_EQ(urlOf(line), "") << c.name;
        EXPECT_NE(line.find(R"("Doc": "report.docx", )"), std::string::npos) << c.name;
        EXPECT_EQ(record().standardError, "") << c.name;
        expectBalanced();
    }
}

TEST(ShortcutResolver, NamesThatCantBeFileNamesAreNeverSearched) {
    const std::wstring names[] = {L"report*", L"rep?rt.docx",      L"a<b",
                                  L"a>b",     L"C:/x/report.docx", L"a|b",
                                  L"a:b",     L"../report.docx",   L"tab\there"};
    for (const std::wstring& name : names) {
        Script script = wordWindow(name);
        script.recentFiles[name + L".lnk"] = RecentEntry{0, true, L"C:\\other", 0};
        EXPECT_EQ(urlOf(test::runSampleWith(script)), "");
        EXPECT_EQ(record().lastSearchPattern, L"");
    }
}

TEST(ShortcutResolver, PrivateBrowserWindowGetsNoDocument) {
    Script script = test::windowOf(L"New tab - [InPrivate] - Browser", L"msedge.exe");
    script.recentFiles[L".lnk"] = RecentEntry{0, true, L"C:\\secret.txt", 0};
    EXPECT_EQ(test::runSampleWith(script),
              R"({"Title": "New tab - [InPrivate] - Browser", "Curated_title": "[Private]", )"
              R"("Doc": "", "URL": "", "Owner": {"Pid": 4242, "Name": "Microsoft Edge", )"
              R"("Path": "/Device/HarddiskVolume3/Apps/msedge.exe"}, "App_cat_nb": 1})"
              "\r\n");
    EXPECT_EQ(record().lastSearchPattern, L"");
}

TEST(ShortcutResolver, TargetOfTheFullBufferComesThroughWhole) {
    const std::wstring target = L"C:\\" + std::wstring(256, L'd'); // 259 units
    Script script = wordWindow(L"report.docx");
    script.recentFiles[L"report.docx.lnk"] = RecentEntry{0, true, target, 0};
    EXPECT_EQ(urlOf(test::runSampleWith(script)), "C:/" + std::string(256, 'd'));
}

TEST(ShortcutResolver, UnopenedResolverFindsNothing) {
    platform::fake::reset();
    wchar_t target[260] = {};
    EXPECT_FALSE(resolveRecentDocument(L"report.docx", target));
}

} // namespace
