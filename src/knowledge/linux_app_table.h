// The programs Linux users run most, known to the native build beside the Windows table:
// names, categories and title rules as the Windows applications have them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct AppEntry;

// NAME: the executable's file name, matched exactly; PATH, its image path, tells apart
// programs whose executables share a name (Chromium's snap runs one called "chrome").
// APP_ID: NAME is a Wayland app id, matched in any letter case against the programs'
// app ids and executable names. Null for a program the table doesn't know, and always
// in the Windows build.
const AppEntry* lookupLinuxApp(const std::wstring& name, const std::wstring& path, bool appId);

// The entry of one of ENTRY's windows by its title (UTF-8): LibreOffice's one process
// shows Writer, Calc and Impress, each named at the end of its windows' titles. ENTRY
// itself for any other window or program.
const AppEntry* linuxAppForTitle(const AppEntry* entry, std::string_view title);

// Every executable file name and app id the table holds.
std::vector<std::wstring> linuxAppNames();
