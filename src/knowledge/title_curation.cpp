#include "knowledge/title_curation.h"

#include "knowledge/app_table.h"

#include <cstddef>
#include <locale>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t none = std::wstring::npos;

// The library's dot and "$" don't draw lines where the sampler does, so neither is used.
// The dot is a class of every UTF-16 unit but line feed and carriage return, the end anchor
// a look-ahead that also holds before a line feed (never before a carriage return). The
// classes list the units they take as ranges rather than the ones they refuse: the engine
// settles a range at once, while a unit that a class refuses costs it a collation lookup.
// Range ends that have no one-letter escape are the units themselves (U+000E, U+FFFF), as
// the engine reads numeric escapes slowly.
//   ".*"    is  [\0-\t\v\f<U+000E>-<U+FFFF>]*
//   "[^-]"  is  [\0-,.-<U+FFFF>]
constexpr const wchar_t* throughLastDashPattern = L"[\\0-\\t\\v\\f\x0E-\xFFFF]* -[\\s]*";
constexpr const wchar_t* lastDashPartPattern = L"[\\s]*-[\\0-,.-\xFFFF]*(?=\\n|$)";
constexpr const wchar_t* browserTabsPattern =
    L" and [\\0-\\t\\v\\f\x0E-\xFFFF]* more [\\0-\\t\\v\\f\x0E-\xFFFF]*";

constexpr const wchar_t* privateCuratedTitle = L"[Private]";

// The end of the line holding FROM: the first line feed or carriage return at or after it.
std::size_t lineEnd(const std::wstring& title, std::size_t from) {
    const std::size_t found = title.find_first_of(L"\n\r", from);
    return found == none ? title.size() : found;
}

// The units from FIRST up to LAST; looking only there keeps every finder linear.
std::wstring_view between(const std::wstring& title, std::size_t first, std::size_t last) {
    return std::wstring_view(title).substr(first, last - first);
}

// Each finder returns a position at or before the leftmost match that starts at or after
// FROM, or `none` when no match starts there. Letting the engine try every position
// instead costs time quadratic in the title's length; these skip only positions where the
// pattern cannot match, so the matches stay the engine's own.

// ".* -[\s]*" needs " -" on the line it starts in, and then matches from wherever on
// that line it is tried: so from the first line, counting from FROM, that holds " -".
std::size_t throughLastDashStart(const std::wstring& title, std::size_t from) {
    const std::size_t pair = title.find(L" -", from);
    if (pair == none) {
        return none;
    }
    const std::size_t lastBreak = title.find_last_of(L"\n\r", pair);
    return lastBreak == none || lastBreak < from ? from : lastBreak + 1;
}

// "[\s]*-[^-]*$" needs a hyphen after which the end anchor holds before the next hyphen:
// the last hyphen, or one with a line feed after it and before the next. The match starts
// at the white-space run in front of that hyphen.
std::size_t lastDashPartStart(const std::wstring& title, std::size_t from) {
    std::size_t hyphen = title.find(L'-', from);
    while (hyphen != none) {
        const std::size_t next = title.find(L'-', hyphen + 1);
        if (next == none || between(title, hyphen + 1, next).find(L'\n') != none) {
            break;
        }
        hyphen = next;
    }
    if (hyphen == none) {
        return none;
    }
    // White space by the same traits the compiled pattern uses for "\s".
    const std::regex_traits<wchar_t> traits;
    const wchar_t spaceClass[] = L"s";
    const auto space = traits.lookup_classname(spaceClass, spaceClass + 1);
    std::size_t start = hyphen;
    while (start > from && traits.isctype(title[start - 1], space)) {
        --start;
    }
    return start;
}

// " and .* more .*" needs " and " followed, on the same line, by " more ": it starts at the
// first " and " of the first line where that holds.
std::size_t browserTabsStart(const std::wstring& title, std::size_t from) {
    std::size_t words = title.find(L" and ", from);
    while (words != none) {
        const std::size_t end = lineEnd(title, words);
        if (between(title, words + 5, end).find(L" more ") != none) {
            return words;
        }
        if (end == title.size()) {
            return none;
        }
        words = title.find(L" and ", end + 1);
    }
    return none;
}

using StartFinder = std::size_t (*)(const std::wstring&, std::size_t);

// The title with every match of PATTERN removed, matches taken left to right, each search
// going on where the previous match ended.
std::wstring removeEveryMatch(const std::wstring& title, const wchar_t* pattern,
                              StartFinder firstStart) {
    std::wstring result;
    // Compiled only when a search has to run: most titles never need it.
    std::optional<std::wregex> regex;
    std::size_t position = 0;
    while (position < title.size()) {
        const std::size_t from = firstStart(title, position);
        if (from == none) {
            break;
        }
        if (!regex) {
            regex.emplace(pattern, std::regex::ECMAScript);
        }
        std::wsmatch match;
        const auto begin = title.begin() + static_cast<std::ptrdiff_t>(from);
        const auto flags =
            from > 0 ? std::regex_constants::match_prev_avail : std::regex_constants::match_default;
        if (!std::regex_search(begin, title.end(), match, *regex, flags)) {
            break;
        }
        const std::size_t matchStart = static_cast<std::size_t>(match[0].first - title.begin());
        const std::size_t matchEnd = static_cast<std::size_t>(match[0].second - title.begin());
        result.append(title, position, matchStart - position);
        position = matchEnd;
    }
    if (position < title.size()) {
        result.append(title, position, none);
    }
    return result;
}

// The Linux programs' titles: "page — Mozilla Firefox". Only the last spaced dash
// counts, and only when the program's name follows it, whole or followed by a space
// ("GNU Emacs at host", "Google Chrome (Incognito)"); a title of nothing but the name
// part is kept, or is a private window's.
bool isNamePart(std::wstring_view part, const AppTitleSuffix& suffix) {
    for (const std::wstring& name : suffix.names) {
        if (part.starts_with(name) && (part.size() == name.size() || part[name.size()] == L' ')) {
            return true;
        }
    }
    return false;
}

CuratedTitle curateBySuffix(const std::wstring& title, const AppTitleSuffix& suffix) {
    std::size_t dash = none;
    std::size_t namePart = 0;
    for (const wchar_t* separator : {L" - ", L" \u2013 ", L" \u2014 "}) {
        const std::size_t found = title.rfind(separator);
        if (found != none && (dash == none || found > dash)) {
            dash = found;
            namePart = found + 3;
        }
    }
    const std::wstring_view part = std::wstring_view(title).substr(namePart);
    if (!isNamePart(part, suffix)) {
        return {title, title};
    }
    if (!suffix.privateMarker.empty() && part.find(suffix.privateMarker) != none) {
        return {privateCuratedTitle, L""};
    }
    if (dash == none) {
        return {title, title};
    }
    return {title.substr(0, dash), title.substr(0, dash)};
}

} // namespace

CuratedTitle curateTitle(const std::wstring& title, const AppEntry* entry) {
    if (entry == nullptr) {
        return {title, title};
    }
    if (entry->titleSuffix != nullptr) {
        return curateBySuffix(title, *entry->titleSuffix);
    }
    std::wstring curated;
    switch (entry->titleRule) {
    case DropThroughLastDash:
        curated = removeEveryMatch(title, throughLastDashPattern, throughLastDashStart);
        break;
    case DropLastDashPart:
        curated = removeEveryMatch(title, lastDashPartPattern, lastDashPartStart);
        break;
    case BrowserTabs:
        if (title.find(entry->privateMarker) != none) {
            return {privateCuratedTitle, L""};
        }
        curated = removeEveryMatch(title, browserTabsPattern, browserTabsStart);
        break;
    default:
        return {title, title};
    }
    return {curated, curated};
}
