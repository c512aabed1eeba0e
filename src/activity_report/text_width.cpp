#include "activity_report/text_width.h"

#include "text/utf8.h"

#include <algorithm>
#include <iterator>

namespace report {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// East Asian Wide and Fullwidth blocks, and the emoji blocks terminals draw wide.
constexpr Range wide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks and zero-width characters.
constexpr Range zero[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489},   {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A},   {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x202A, 0x202E}, {0x2060, 0x2064},   {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

template <std::size_t N> bool within(const Range (&ranges)[N], char32_t c) {
    const auto found = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                        [](char32_t v, const Range& r) { return v < r.first; });
    return found != std::begin(ranges) && c <= std::prev(found)->last;
}

bool control(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

} // namespace

int codePointWidth(char32_t c) {
    if (within(zero, c)) {
        return 0;
    }
    return within(wide, c) ? 2 : 1;
}

std::size_t displayWidth(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(text, at);
        columns += static_cast<std::size_t>(codePointWidth(sequence.value));
        at += sequence.length;
    }
    return columns;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(text, at);
        if (!sequence.valid || control(sequence.value)) {
            text::appendUtf8(out, text::replacementCharacter);
        } else {
            out.append(text.substr(at, sequence.length));
        }
        at += sequence.length;
    }
    return out;
}

std::string fitColumns(std::string_view text, std::size_t columns) {
    if (displayWidth(text) <= columns) {
        return std::string(text);
    }
    if (columns == 0) {
        return {};
    }
    std::string out;
    std::size_t used = 0;
    for (std::size_t at = 0; at < text.size();) {
        const text::Utf8Sequence sequence = text::decodeUtf8(text, at);
        const auto width = static_cast<std::size_t>(codePointWidth(sequence.value));
        if (used + width > columns - 1) {
            break;
        }
        out.append(text.substr(at, sequence.length));
        used += width;
        at += sequence.length;
    }
    return out + "\xE2\x80\xA6"; // …
}

std::string padColumns(std::string_view text, std::size_t columns, bool right) {
    const std::size_t width = displayWidth(text);
    const std::string spaces(width < columns ? columns - width : 0, ' ');
    return right ? spaces + std::string(text) : std::string(text) + spaces;
}

} // namespace report
