// Paths in UTF-8, on every platform: a path the user gave, and a path for a message.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace text {

std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace text
