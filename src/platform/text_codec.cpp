#include "platform/text_codec.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace platform::codec {
namespace {

constexpr std::uint32_t replacement = 0xFFFD;

int encodedLength(std::uint32_t c) {
    if (c < 0x80) {
        return 1;
    }
    if (c < 0x800) {
        return 2;
    }
    return c < 0x10000 ? 3 : 4;
}

void encode(std::uint32_t c, char* out) {
    auto byte = [](std::uint32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    switch (encodedLength(c)) {
    case 1:
        out[0] = byte(c);
        break;
    case 2:
        out[0] = byte(0xC0 | (c >> 6));
        out[1] = byte(0x80 | (c & 0x3F));
        break;
    case 3:
        out[0] = byte(0xE0 | (c >> 12));
        out[1] = byte(0x80 | ((c >> 6) & 0x3F));
        out[2] = byte(0x80 | (c & 0x3F));
        break;
    default:
        out[0] = byte(0xF0 | (c >> 18));
        out[1] = byte(0x80 | ((c >> 12) & 0x3F));
        out[2] = byte(0x80 | ((c >> 6) & 0x3F));
        out[3] = byte(0x80 | (c & 0x3F));
        break;
    }
}

// Counts units through the terminator when units is -1.
int unitCount(const wchar_t* text, int units) {
    return units < 0 ? static_cast<int>(std::wcslen(text)) + 1 : units;
}

// Reads one code point from UTF-16 units held one to a wchar_t.
std::uint32_t nextCodePoint(const wchar_t* text, int count, int& i) {
    std::uint32_t u = static_cast<std::uint32_t>(text[i++]) & 0xFFFF;
    if (u >= 0xD800 && u <= 0xDBFF && i < count) {
        std::uint32_t low = static_cast<std::uint32_t>(text[i]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return (u >= 0xD800 && u <= 0xDFFF) ? replacement : u;
}

} // namespace

int utf8FromWide(const wchar_t* text, int units, char* destination, int destinationBytes) {
    if (text == nullptr || destinationBytes < 0 ||
        (destinationBytes > 0 && destination == nullptr)) {
        return 0;
    }
    const int count = unitCount(text, units);
    int written = 0;
    for (int i = 0; i < count;) {
        const std::uint32_t c = nextCodePoint(text, count, i);
        const int length = encodedLength(c);
        if (destinationBytes > 0) {
            if (written + length > destinationBytes) {
                return 0;
            }
            encode(c, destination + written);
        }
        written += length;
    }
    return written;
}

namespace {

// Decodes one well-formed sequence at text[i], or gives the length of the maximal
// ill-formed subpart to replace.
std::uint32_t nextScalar(const unsigned char* text, int count, int& i) {
    const unsigned char lead = text[i];
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    std::uint32_t value = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        ++i;
        return replacement;
    }
    ++i;
    for (int k = 1; k < length; ++k) {
        if (i >= count || text[i] < low || text[i] > high) {
            return replacement;
        }
        value = (value << 6) | (text[i] & 0x3F);
        ++i;
        low = 0x80;
        high = 0xBF;
    }
    return value;
}

} // namespace

int wideFromUtf8(const char* text, int bytes, wchar_t* destination, int destinationUnits) {
    if (text == nullptr || destinationUnits < 0 ||
        (destinationUnits > 0 && destination == nullptr)) {
        return 0;
    }
    const int count = bytes < 0 ? static_cast<int>(std::strlen(text)) + 1 : bytes;
    const auto* input = reinterpret_cast<const unsigned char*>(text);
    int written = 0;
    for (int i = 0; i < count;) {
        const std::uint32_t c = nextScalar(input, count, i);
        const int length = c >= 0x10000 ? 2 : 1;
        if (destinationUnits > 0) {
            if (written + length > destinationUnits) {
                return 0;
            }
            if (length == 2) {
                destination[written] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
                destination[written + 1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                destination[written] = static_cast<wchar_t>(c);
            }
        }
        written += length;
    }
    return written;
}

} // namespace platform::codec
