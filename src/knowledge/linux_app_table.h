// The programs Linux users run most, known to the native build beside the Windows table:
// names, categories and title rules as the Windows applications have them.
#pragma once

#include <string>
#include <vector>

struct AppEntry;

// NAME: the executable's file name, matched exactly; PATH, its image path, tells apart
// programs whose executables share a name (Chromium's snap runs one called "chrome").
// APP_ID: NAME is a Wayland app id, matched in any letter case against the programs'
// app ids and executable names. Null for a program the table doesn't know, and always
// in the Windows build.
const AppEntry* lookupLinuxApp(const std::wstring& name, const std::wstring& path, bool appId);

// Every executable file name and app id the table holds.
std::vector<std::wstring> linuxAppNames();
