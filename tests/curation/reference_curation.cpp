#include "reference_curation.h"

#include "knowledge/app_table.h"

#include <algorithm>
#include <cstddef>
#include <cwctype>

namespace reference {
namespace {

constexpr std::size_t absent = std::wstring::npos;

bool isLineBreak(wchar_t unit) {
    return unit == L'\n' || unit == L'\r';
}

bool isWhiteSpace(wchar_t unit) {
    return std::iswspace(static_cast<std::wint_t>(unit)) != 0;
}

// Where WORD first occurs wholly inside [first, last) of TEXT, or `absent`.
std::size_t findIn(const std::wstring& text, const std::wstring& word, std::size_t first,
                   std::size_t last) {
    for (std::size_t at = first; at + word.size() <= last; ++at) {
        if (std::equal(word.begin(), word.end(), text.begin() + static_cast<std::ptrdiff_t>(at))) {
            return at;
        }
    }
    return absent;
}

std::size_t endOfLine(const std::wstring& title, std::size_t from) {
    while (from < title.size() && !isLineBreak(title[from])) {
        ++from;
    }
    return from;
}

} // namespace

// Within a line, everything up to and including the last space-hyphen pair goes, with the
// white space after it. That white space may run over line breaks into later lines; the
// rest of the line it stops in is then treated the same way.
std::wstring dropThroughLastDash(const std::wstring& title) {
    std::wstring kept;
    std::size_t at = 0;
    while (at < title.size()) {
        const std::size_t end = endOfLine(title, at);
        std::size_t lastPair = absent;
        for (std::size_t unit = at; unit + 1 < end; ++unit) {
            if (title[unit] == L' ' && title[unit + 1] == L'-') {
                lastPair = unit;
            }
        }
        if (lastPair == absent) {
            kept.append(title, at, end - at);
            if (end < title.size()) {
                kept += title[end];
            }
            at = end + 1;
            continue;
        }
        at = lastPair + 2;
        while (at < title.size() && isWhiteSpace(title[at])) {
            ++at;
        }
    }
    return kept;
}

// The title ends at its end and also just before each line feed. A hyphen that reaches one
// of those ends with no other hyphen on the way goes, with the white space right before it
// and everything after it up to the farthest such end; the line feed at that end stays.
std::wstring dropLastDashPart(const std::wstring& title) {
    std::wstring kept;
    std::size_t uncut = 0; // the first unit neither copied nor cut yet
    std::size_t at = 0;
    while (at < title.size()) {
        if (title[at] != L'-') {
            ++at;
            continue;
        }
        std::size_t farthestEnd = absent;
        std::size_t next = at + 1;
        for (; next < title.size() && title[next] != L'-'; ++next) {
            if (title[next] == L'\n') {
                farthestEnd = next;
            }
        }
        if (next == title.size()) {
            farthestEnd = next;
        }
        if (farthestEnd == absent) {
            at = next;
            continue;
        }
        std::size_t cutStart = at;
        while (cutStart > uncut && isWhiteSpace(title[cutStart - 1])) {
            --cutStart;
        }
        kept.append(title, uncut, cutStart - uncut);
        uncut = farthestEnd;
        at = farthestEnd;
    }
    kept.append(title, uncut, absent);
    return kept;
}

// Line by line: from the first " and " to the end of the line, when a " more " begins at
// or after the end of that " and " on the same line.
std::wstring browserTabs(const std::wstring& title) {
    const std::wstring andWord = L" and ";
    const std::wstring moreWord = L" more ";
    std::wstring kept;
    std::size_t at = 0;
    while (at <= title.size()) {
        const std::size_t end = endOfLine(title, at);
        const std::size_t first = findIn(title, andWord, at, end);
        const bool cut =
            first != absent && findIn(title, moreWord, first + andWord.size(), end) != absent;
        kept.append(title, at, (cut ? first : end) - at);
        if (end == title.size()) {
            break;
        }
        kept += title[end];
        at = end + 1;
    }
    return kept;
}

CuratedTitle curateTitle(const std::wstring& title, const AppEntry* entry) {
    if (entry == nullptr) {
        return {title, title};
    }
    std::wstring curated;
    if (entry->titleRule == DropThroughLastDash) {
        curated = dropThroughLastDash(title);
    } else if (entry->titleRule == DropLastDashPart) {
        curated = dropLastDashPart(title);
    } else if (entry->titleRule == BrowserTabs) {
        if (findIn(title, entry->privateMarker, 0, title.size()) != absent) {
            return {L"[Private]", L""};
        }
        curated = browserTabs(title);
    } else {
        curated = title;
    }
    return {curated, curated};
}

} // namespace reference
