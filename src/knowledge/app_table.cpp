#include "knowledge/app_table.h"

#include "knowledge/linux_app_table.h"

#include <cwchar>

namespace {

struct AppRow {
    const wchar_t* executableFileName;
    const wchar_t* displayName;
    std::int32_t titleRule;
    CategoryNumber category;
};

// The applications the sampler knows, in insertion order.
constexpr AppRow appRows[] = {
    {L"msedge.exe", L"Microsoft Edge", BrowserTabs, 1},
    {L"olk.exe", L"Outlook", DropLastDashPart, 3},
    {L"ms-teams.exe", L"Microsoft Teams", DropLastDashPart, 2},
    {L"Firefox.exe", L"Mozilla Firefox", DropLastDashPart, 1},
    {L"Chrome.exe", L"Google Chrome", DropLastDashPart, 1},
    {L"Code.exe", L"Visual Studio Code", DropLastDashPart, 5},
    {L"PickerHost.exe", L"Task switching", KeepTitle, 4},
    {L"explorer.exe", L"Explorer", KeepTitle, 10},
    {L"Docker Desktop.exe", L"Docker", DropLastDashPart, 11},
    {L"SearchHost.exe", L"System search", KeepTitle, 4},
    {L"ONENOTE.EXE", L"OneNote", DropLastDashPart, 6},
    {L"ShellExperienceHost.exe", L"System", KeepTitle, 4},
    {L"devenv.exe", L"Visual Studio", DropLastDashPart, 5},
    {L"WindowsTerminal.exe", L"Windows Terminal", KeepTitle, 12},
    {L"LockApp.exe", L"Locked screen", KeepTitle, 4},
    {L"putty.exe", L"PuTTY", KeepTitle, 12},
    {L"MongoDBCompass.exe", L"MongoDB Compass", DropThroughLastDash, 7},
    {L"Spotify.exe", L"Spotify", KeepTitle, 13},
    {L"ApplicationFrameHost.exe", L"System", KeepTitle, 4},
    {L"StartMenuExperienceHost.exe", L"System", KeepTitle, 4},
    {L"msedgewebview2.exe", L"Microsoft Edge", KeepTitle, 1},
    {L"rundll32.exe", L"System", KeepTitle, 4},
    {L"discord.exe", L"Discord", KeepTitle, 2},
    {L"Photos.exe", L"Photos", KeepTitle, 14},
    {L"AmazonPhotos.exe", L"Amazon Photos", KeepTitle, 14},
    {L"WINWORD.EXE", L"Microsoft Word", DropLastDashPart, 8},
    {L"EXCEL.EXE", L"Microsoft Excel", DropLastDashPart, 9},
    {L"POWERPNT.EXE", L"Microsoft PowerPoint", DropLastDashPart, 15},
    {L"steam.exe", L"Steam", KeepTitle, 16},
    {L"steamwebhelper.exe", L"Steam", KeepTitle, 16},
    {L"SketchUp.exe", L"SketchUp", DropLastDashPart, 17},
};

// Only the first browser row tells its private windows by a marker.
constexpr const wchar_t* firstRowPrivateMarker = L"[InPrivate]";

AppEntry* makeAppEntry(const AppRow& row) {
    const std::size_t length = std::wcslen(row.displayName);
    auto* name = new wchar_t[length + 1];
    std::wmemcpy(name, row.displayName, length + 1);
    return new AppEntry{name, static_cast<std::int32_t>(length), row.titleRule, row.category, {}};
}

// Built before the entry point runs and kept until the process exits; the entries
// are never freed.
const AppTable appTable = buildAppTable();

} // namespace

AppTable buildAppTable() {
    AppTable table;
    bool first = true;
    for (const AppRow& row : appRows) {
        AppEntry* entry = makeAppEntry(row);
        if (first) {
            entry->privateMarker = firstRowPrivateMarker;
            first = false;
        }
        table.emplace(row.executableFileName, entry);
    }
    return table;
}

const AppEntry* lookupApp(const std::wstring& executableFileName) {
    const auto found = appTable.find(executableFileName);
    return found == appTable.end() ? nullptr : found->second;
}

const AppEntry* lookupOwnerApp(const std::wstring& name, const std::wstring& path, bool appId) {
    if (const AppEntry* entry = lookupApp(name)) {
        return entry;
    }
    return lookupLinuxApp(name, path, appId);
}
