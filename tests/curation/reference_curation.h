// The title rules stated a second time, by walking the title unit by unit with no regular
// expression, so that the pattern-based curation has something independent to agree with.
#pragma once

#include "knowledge/title_curation.h"

#include <string>

namespace reference {

// A line ends at a line feed or a carriage return; white space is what the default
// locale's wide classification calls white space.
std::wstring dropThroughLastDash(const std::wstring& title);
std::wstring dropLastDashPart(const std::wstring& title);
// The browser rule for a title that isn't private.
std::wstring browserTabs(const std::wstring& title);

CuratedTitle curateTitle(const std::wstring& title, const AppEntry* entry);

} // namespace reference
