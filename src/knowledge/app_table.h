// The built-in knowledge of the applications the sampler recognises.
#pragma once

#include <cstdint>
#include <map>
#include <string>

enum TitleRule : std::int32_t {
    DropThroughLastDash = 0,
    DropLastDashPart = 1,
    KeepTitle = 2,
    BrowserTabs = 3,
};

using CategoryNumber = std::int32_t;

struct AppEntry {
    wchar_t* displayName; // own storage, terminated
    std::int32_t displayNameLength;
    std::int32_t titleRule;
    CategoryNumber category;
    std::wstring privateMarker;
};

// Ordered by plain comparison of UTF-16 units; lookups are exact and case-sensitive.
using AppTable = std::map<std::wstring, AppEntry*>;

AppTable buildAppTable();
const AppEntry* lookupApp(const std::wstring& executableFileName);
