// The resolver on the scripted platform: the component failures and limits that a
// real shell can't be made to show.
#include "documents/shortcut_resolver.h"
#include "sample_run.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

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

std::string forMessage(const std::wstring& text) {
    std::string ascii;
    for (const wchar_t unit : text) {
        ascii += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return ascii;
}

// One resolution of NAME on an open resolver, with SCRIPT's Recent folder.
bool resolvesWith(const Script& script, const std::wstring& name) {
    platform::fake::reset();
    platform::fake::script() = script;
    wchar_t target[260] = {};
    const bool found = openShortcutResolver() && resolveRecentDocument(name, target);
    closeShortcutResolver();
    return found;
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

TEST(ShortcutResolver, DeviceNamesAreNeverLookedUp) {
    struct Case {
        std::wstring name;
        bool device;
    };
    const Case cases[] = {
        {L"COM1", true},
        {L"com1.docx", true},
        {L"com1 .docx", true},
        {L"Com9  .tar.gz", true},
        {L"COM1 ", true},
        {L"COM1...", true},
        {L"lpt1.pdf", true},
        {L"LPT9", true},
        {L"AUX", true},
        {L"aux.h", true},
        {L"CON", true},
        {L"con.txt", true},
        {L"NUL", true},
        {L"nul.", true},
        {L"PRN.docx", true},
        {L"CONIN$", true},
        {L"conout$.log", true},
        {L"COM\u00B9", true},
        {L"com\u00B2.docx", true},
        {L"COM\u00B3", true},
        {L"LPT\u00B9.txt", true},
        {L"lpt\u00B2", true},
        {L"LPT\u00B3", true},
        // Near misses are documents like any other.
        {L"COM10", false},
        {L"COM0", false},
        {L"LPT\u2074", false},
        {L"COM", false},
        {L"CONSOLE.docx", false},
        {L"console", false},
        {L"AUX1", false},
        {L" CON", false},
        {L"nul-report.docx", false},
        {L"report.con", false},
        {L"report.COM1", false},
        {L"COMA.txt", false},
        {L"xLPT1", false},
        {L"CONIN", false},
        {L"CONOUT$x", false},
    };
    for (const Case& c : cases) {
        Script script = wordWindow(L"unused");
        script.recentFiles[c.name + L".lnk"] = RecentEntry{0, true, L"C:\\Docs\\found", 0};
        const std::string name = forMessage(c.name);
        EXPECT_EQ(resolvesWith(script, c.name), !c.device) << name;
        if (c.device) {
            EXPECT_EQ(record().recentFolderLookups, 0) << name << ": no platform call";
            EXPECT_EQ(record().lastSearchPattern, L"") << name;
            EXPECT_EQ(record().lastLoadedPath, L"") << name;
        }
        expectBalanced();
    }
}

TEST(ShortcutResolver, EntryFoundUnderAnotherNameIsNotLoaded) {
    // Devices outside the refused names, which the search still reports by their own.
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"COM0", L"com0.docx"},
        {L"CLOCK$", L"clock$"},
    };
    for (const auto& [device, name] : cases) {
        Script script = wordWindow(L"unused");
        script.devices = {device};
        script.recentFiles[device] = RecentEntry{0, true, L"C:\\Docs\\device", 0};
        EXPECT_FALSE(resolvesWith(script, name));
        EXPECT_EQ(record().lastSearchPattern, script.recentFolder + L"\\" + name + L".lnk");
        EXPECT_EQ(record().searchesStarted, 1) << "the search found the device";
        EXPECT_EQ(record().lastLoadedPath, L"") << "nothing is loaded";
        expectBalanced();
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
