// UTF-8, read and written in one place for every program. Standard library only: the
// sampler's own Linux provider links it too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

inline constexpr char32_t replacementCharacter = 0xFFFD;

// A surrogate (U+D800 to U+DFFF) encoded on its own is no UTF-8, but the sampler writes
// its by-code-unit text so, and its reader takes it.
enum class Surrogates { refused, allowed };

struct Utf8Sequence {
    char32_t value = replacementCharacter; // U+FFFD when not valid
    std::size_t length = 1;                // bytes read: at least one
    bool valid = false;
};

// The sequence at TEXT[AT], AT < TEXT.size(): a well-formed one (shortest form, at most
// U+10FFFF), or else the maximal ill-formed subpart there, the bytes that begin a
// sequence but don't complete it, so that one U+FFFD stands for them as it does in
// MultiByteToWideChar.
Utf8Sequence decodeUtf8(std::string_view text, std::size_t at,
                        Surrogates surrogates = Surrogates::refused);

// C (at most U+10FFFF; a surrogate is encoded as any other) into OUT, which has room
// for four bytes; the length written.
std::size_t encodeUtf8(char32_t c, char* out);

void appendUtf8(std::string& out, char32_t c);

} // namespace text
