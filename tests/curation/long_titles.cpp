#include "long_titles.h"

namespace {

constexpr std::size_t longest = 1023;

std::wstring repeated(const std::wstring& piece, std::size_t units) {
    std::wstring text;
    while (text.size() + piece.size() <= units) {
        text += piece;
    }
    return text;
}

// A long first line, then TAIL on a line of its own.
std::wstring longLineThen(const std::wstring& piece, const std::wstring& tail) {
    return repeated(piece, longest - tail.size() - 1) + L"\n" + tail;
}

} // namespace

std::vector<LongTitle> longTitles() {
    return {
        {"words without a space-hyphen", 0, repeated(L"a ", longest)},
        {"long line, then a short one with a space-hyphen", 0, longLineThen(L"a ", L"b - c")},
        {"space-hyphen throughout", 0, repeated(L"a - ", longest)},
        {"space-hyphen on every line", 0, repeated(L"a -\n", longest)},
        {"spaces", 1, std::wstring(longest, L' ')},
        {"spaces, then two hyphens", 1, std::wstring(longest - 4, L' ') + L"-x-y"},
        {"hyphen and space throughout", 1, repeated(L"- ", longest)},
        {"hyphens", 1, std::wstring(longest, L'-')},
        {"a hyphen on every line", 1, repeated(L"a -\n", longest)},
        // The run after the first hyphen reaches far past its line feed: every step back
        // from the next hyphen tries the end anchor again.
        {"line feed, then a long run to the next hyphen", 1,
         L"a -\n" + std::wstring(longest - 6, L'b') + L"-x"},
        {"line feeds all the way to the next hyphen", 1,
         L"a -" + std::wstring(longest - 5, L'\n') + L"-x"},
        {"and repeated", 3, repeated(L" and", longest)},
        {"and repeated, then more on a line of its own", 3, longLineThen(L" and", L" more ")},
        {"and, more on every line", 3, repeated(L" and  more \n", longest)},
    };
}
