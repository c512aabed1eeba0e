#include "platform/text_codec.h"

#include "text/utf8.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace platform::codec {
namespace {

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
    return (u >= 0xD800 && u <= 0xDFFF) ? text::replacementCharacter : u;
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
        char bytes[4];
        const int length = static_cast<int>(text::encodeUtf8(nextCodePoint(text, count, i), bytes));
        if (destinationBytes > 0) {
            if (written + length > destinationBytes) {
                return 0;
            }
            std::memcpy(destination + written, bytes, static_cast<std::size_t>(length));
        }
        written += length;
    }
    return written;
}

int wideFromUtf8(const char* text, int bytes, wchar_t* destination, int destinationUnits) {
    if (text == nullptr || destinationUnits < 0 ||
        (destinationUnits > 0 && destination == nullptr)) {
        return 0;
    }
    const std::string_view input(text, bytes < 0 ? std::strlen(text) + 1
                                                 : static_cast<std::size_t>(bytes));
    int written = 0;
    for (std::size_t at = 0; at < input.size();) {
        // An ill-formed subpart reads as one U+FFFD.
        const text::Utf8Sequence sequence = text::decodeUtf8(input, at);
        at += sequence.length;
        const std::uint32_t c = sequence.value;
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
