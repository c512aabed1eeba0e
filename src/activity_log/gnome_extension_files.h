// The GNOME Shell extension's files, by form, as the build made them from
// gnome-shell-extension/ (the definition is generated there).
#pragma once

#include <string_view>
#include <vector>

namespace activity_log {

struct GnomeExtensionFile {
    const char* form; // "legacy": GNOME Shell 40 to 44; "module": 45 and later
    const char* name;
    std::string_view content;
};
extern const std::vector<GnomeExtensionFile> gnomeExtensionFiles;

} // namespace activity_log
