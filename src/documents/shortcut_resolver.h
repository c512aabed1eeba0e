// Finds the full path of a document through the user's Recent-items shortcuts.
#pragma once

#include <string>

// Opens the run's shell-link object. On failure it has written its message and holds
// nothing.
bool openShortcutResolver();

// target: 260 units. True when the shortcut's terminated target path is in it.
bool resolveRecentDocument(const std::wstring& documentName, wchar_t* target);

void closeShortcutResolver();
