// activity-log gnome-extension install|remove: puts the project's GNOME Shell extension
// in the user's extensions folder and enables it, or disables and removes it. No root:
// the user's own folder and settings only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace activity_log {

// The command, its arguments after "gnome-extension"; the exit status.
int runGnomeExtensionCommand(const std::vector<std::string>& arguments);

// GSettings' text of a string list ("['a', 'b']", "@as []"), as gsettings prints it;
// nothing when it is not one (or longer than the bound).
std::optional<std::vector<std::string>> parseStringList(std::string_view text);
// The list in the same text, for `gsettings set`.
std::string formatStringList(const std::vector<std::string>& items);
// The major version in `gnome-shell --version`'s answer ("GNOME Shell 43.9").
std::optional<int> gnomeShellMajorVersion(std::string_view answer);

} // namespace activity_log
