// UTF-8 conversions with the counts and replacements of the Windows calls, for the
// providers of platforms that have no such calls.
#pragma once

namespace platform::codec {

// As WideCharToMultiByte with CP_UTF8 and flags 0: units -1 converts through the
// terminator; a destination size of 0 asks for the count; a lone surrogate becomes
// U+FFFD; a destination too small gives 0.
int utf8FromWide(const wchar_t* text, int units, char* destination, int destinationBytes);

// As MultiByteToWideChar with CP_UTF8 and flags 0: an ill-formed sequence becomes one
// U+FFFD for each maximal ill-formed subpart; characters beyond the BMP become pairs.
int wideFromUtf8(const char* text, int bytes, wchar_t* destination, int destinationUnits);

} // namespace platform::codec
