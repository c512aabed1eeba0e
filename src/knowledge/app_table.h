// The built-in knowledge of the applications the sampler recognises.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum TitleRule : std::int32_t {
    DropThroughLastDash = 0,
    DropLastDashPart = 1,
    KeepTitle = 2,
    BrowserTabs = 3,
};

using CategoryNumber = std::int32_t;

// How a Linux program's titles end: a spaced dash (hyphen, en or em dash) and the
// program's name, which the curated title leaves out. A name part holding the private
// marker is a private window's.
struct AppTitleSuffix {
    std::vector<std::wstring> names; // "Mozilla Firefox": followed by nothing or a space
    std::wstring privateMarker;      // empty: the program has no private windows
};

struct AppEntry {
    wchar_t* displayName; // own storage, terminated
    std::int32_t displayNameLength;
    std::int32_t titleRule;
    CategoryNumber category;
    std::wstring privateMarker;
    // Only the Linux programs' entries have one; the title rule then doesn't apply.
    const AppTitleSuffix* titleSuffix = nullptr;
};

// Ordered by plain comparison of UTF-16 units; lookups are exact and case-sensitive.
using AppTable = std::map<std::wstring, AppEntry*>;

AppTable buildAppTable();
const AppEntry* lookupApp(const std::wstring& executableFileName);

// The entry for the owner's executable file name NAME (from the image path PATH): the
// table's; else, in the native build, the Linux programs'. APP_ID: NAME is the app id a
// Wayland compositor named the window's application by, with no process to go on.
const AppEntry* lookupOwnerApp(const std::wstring& name, const std::wstring& path, bool appId);
