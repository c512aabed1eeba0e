// Turns a window title into the curated title and the document name.
#pragma once

#include <string>

struct AppEntry;

struct CuratedTitle {
    std::wstring curatedTitle;
    std::wstring documentName;
};

// title: UTF-16 units, never empty; entry: the owner's table entry, or null.
CuratedTitle curateTitle(const std::wstring& title, const AppEntry* entry);
