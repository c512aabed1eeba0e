#include "sampling/foreground_capture.h"

#include "sampling/activity_record.h"

// The rule of the Windows runtime's "C" locale, carried out here so that every
// platform narrows alike: Latin-1 passes through byte for byte, anything else empties
// the result.
std::size_t toCLocaleNarrow(const wchar_t* text, std::size_t limit, char* destination) {
    std::size_t count = 0;
    const std::size_t capacity = static_cast<std::size_t>(textBufferBytes) - 1;
    while (count < limit && count < capacity && text[count] != L'\0') {
        const auto unit = static_cast<unsigned long>(text[count]);
        if (unit > 0xFF) {
            destination[0] = '\0';
            return 0;
        }
        destination[count] = static_cast<char>(static_cast<unsigned char>(unit));
        ++count;
    }
    destination[count] = '\0';
    return count + 1;
}
