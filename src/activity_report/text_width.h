// How wide UTF-8 text is on a terminal, and cutting it to fit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace report {

// Terminal columns of one code point: 2 for East Asian wide and full-width characters
// and emoji, 0 for combining marks and zero-width characters, else 1.
int codePointWidth(char32_t c);

// Columns of UTF-8 TEXT; an ill-formed sequence counts as one U+FFFD.
std::size_t displayWidth(std::string_view text);

// TEXT safe to print on a terminal: control characters (which could move the cursor
// or set the terminal's title) and ill-formed sequences become U+FFFD.
std::string printable(std::string_view text);

// TEXT cut to at most COLUMNS columns, ending in "…" when cut.
std::string fitColumns(std::string_view text, std::size_t columns);

// TEXT then spaces up to COLUMNS columns (or the spaces first, when RIGHT).
std::string padColumns(std::string_view text, std::size_t columns, bool right = false);

} // namespace report
