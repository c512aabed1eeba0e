// UTF-8, read and written in one place for every program. Standard library only: the
// sampler links it too.
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
// MultiByteToWideChar. Inline: the report reads a year of log through it.
inline Utf8Sequence decodeUtf8(std::string_view text, std::size_t at,
                               Surrogates surrogates = Surrogates::refused) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    Utf8Sequence sequence;
    if (lead < 0x80) {
        sequence.value = lead;
        sequence.valid = true;
        return sequence;
    }
    // The lead byte gives the length and the range of the second byte, so that
    // overlong forms, surrogates and values above U+10FFFF are refused at that byte.
    std::size_t length = 0;
    char32_t value = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED && surrogates == Surrogates::refused) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return sequence;
    }
    for (std::size_t i = 1; i < length; ++i, low = 0x80, high = 0xBF) {
        if (at + i >= text.size() || byte(at + i) < low || byte(at + i) > high) {
            sequence.length = i;
            return sequence;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    sequence.value = value;
    sequence.length = length;
    sequence.valid = true;
    return sequence;
}

// C (at most U+10FFFF; a surrogate is encoded as any other) into OUT, which has room
// for four bytes; the length written.
std::size_t encodeUtf8(char32_t c, char* out);

void appendUtf8(std::string& out, char32_t c);

} // namespace text
