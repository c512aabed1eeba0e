#include "text/utf8.h"

namespace text {

Utf8Sequence decodeUtf8(std::string_view text, std::size_t at, Surrogates surrogates) {
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

std::size_t encodeUtf8(char32_t c, char* out) {
    const auto put = [&](std::size_t i, char32_t bits) {
        out[i] = static_cast<char>(static_cast<unsigned char>(bits));
    };
    if (c < 0x80) {
        put(0, c);
        return 1;
    }
    if (c < 0x800) {
        put(0, 0xC0 | (c >> 6));
        put(1, 0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        put(0, 0xE0 | (c >> 12));
        put(1, 0x80 | ((c >> 6) & 0x3F));
        put(2, 0x80 | (c & 0x3F));
        return 3;
    }
    put(0, 0xF0 | (c >> 18));
    put(1, 0x80 | ((c >> 12) & 0x3F));
    put(2, 0x80 | ((c >> 6) & 0x3F));
    put(3, 0x80 | (c & 0x3F));
    return 4;
}

void appendUtf8(std::string& out, char32_t c) {
    char bytes[4];
    out.append(bytes, encodeUtf8(c, bytes));
}

} // namespace text
