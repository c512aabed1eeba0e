// COMPOUND_TEXT, the ISO 2022 encoding that older X clients give WM_NAME in.
#pragma once

#include <cstddef>
#include <vector>

namespace platform {

// The text as UTF-8, without a terminator; empty when it can't be converted.
std::vector<char> utf8FromCompoundText(const unsigned char* text, std::size_t bytes);

} // namespace platform
