// curateTitle by each rule: the documented cases, the character rules at line breaks, and
// thousands of random titles checked against the rules stated without patterns and
// against the engine searching on its own.
#include "knowledge/app_table.h"
#include "knowledge/title_curation.h"
#include "long_titles.h"
#include "reference_curation.h"
#include "unguided_curation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

AppEntry entryWithRule(std::int32_t rule) {
    return AppEntry{nullptr, 0, rule, 0, L"[InPrivate]"};
}

// A title as readable ASCII: other units as \uXXXX, so failures show every unit.
std::string shown(const std::wstring& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const wchar_t unit : text) {
        const auto value = static_cast<std::uint32_t>(unit);
        if (value >= 0x20 && value < 0x7F && unit != L'\\') {
            out += static_cast<char>(value);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += digits[(value >> shift) & 0xF];
            }
        }
    }
    return out;
}

struct CurationCase {
    std::int32_t rule;
    std::wstring title;
    std::wstring curated;
};

void PrintTo(const CurationCase& c, std::ostream* out) {
    *out << "rule " << c.rule << ", title " << shown(c.title);
}

class DocumentedCase : public testing::TestWithParam<CurationCase> {};

TEST_P(DocumentedCase, GivesTheCuratedTitleAsDocumentToo) {
    const CurationCase& c = GetParam();
    const AppEntry entry = entryWithRule(c.rule);
    const CuratedTitle result = curateTitle(c.title, &entry);
    EXPECT_EQ(shown(result.curatedTitle), shown(c.curated)) << "title " << shown(c.title);
    EXPECT_EQ(shown(result.documentName), shown(c.curated)) << "title " << shown(c.title);
}

INSTANTIATE_TEST_SUITE_P(
    DropThroughLastDash, DocumentedCase,
    testing::Values(CurationCase{0, L"Connections - orders", L"orders"},
                    CurationCase{0, L"a - b - c", L"c"},
                    CurationCase{0, L"Data -   orders", L"orders"},
                    CurationCase{0, L"Tools -x", L"x"}, CurationCase{0, L"a -- b", L"- b"},
                    CurationCase{0, L"report-final copy", L"report-final copy"},
                    CurationCase{0, L"Letter -", L""}, CurationCase{0, L"x - y\nz - w", L"y\nw"}));

INSTANTIATE_TEST_SUITE_P(
    DropLastDashPart, DocumentedCase,
    testing::Values(CurationCase{1, L"notes.txt - project - Editor", L"notes.txt - project"},
                    CurationCase{1, L"Report   -   Sheet", L"Report"},
                    CurationCase{1, L"Re: follow-up - Mail", L"Re: follow-up"},
                    CurationCase{1, L"e-mail text", L"e"},
                    CurationCase{1, L"Untitled", L"Untitled"}, CurationCase{1, L"- Sheet", L""},
                    CurationCase{1, L"A -", L"A"},
                    CurationCase{1, L"Notes \u2013 Book", L"Notes \u2013 Book"},
                    CurationCase{1, L"a - b\nc - d", L"a\nc"}));

INSTANTIATE_TEST_SUITE_P(
    BrowserTabs, DocumentedCase,
    testing::Values(CurationCase{3, L"Weather and 2 more pages - Profile 1 - Browser", L"Weather"},
                    CurationCase{3, L"Rock and Roll and 3 more pages - Browser", L"Rock"},
                    CurationCase{3, L"Search results - Browser", L"Search results - Browser"},
                    CurationCase{3, L"X and 2 more", L"X and 2 more"},
                    CurationCase{3, L"Tips And 2 More pages", L"Tips And 2 More pages"},
                    CurationCase{3, L"[inprivate] notes", L"[inprivate] notes"}));

// Each line break and look-alike on its own: where the dot stops, where the end anchor
// holds, what white space takes in.
INSTANTIATE_TEST_SUITE_P(
    CharacterRules, DocumentedCase,
    testing::Values(
        // A carriage return ends the dot's line too, but the end anchor doesn't hold before it.
        CurationCase{0, L"x - y\rz - w", L"y\rw"}, CurationCase{1, L"a - b\rc - d", L"a - b\rc"},
        CurationCase{1, L"a - b\r\nc - d", L"a\nc"},
        CurationCase{3, L"a and b\r more c", L"a and b\r more c"},
        CurationCase{3, L"a and 2 more x\nb and 3 more y", L"a\nb"},
        // Line and paragraph separators are ordinary characters.
        CurationCase{0, L"x - y\u2028z - w", L"w"},
        CurationCase{1, L"a - b\u2029c - d", L"a - b\u2029c"},
        CurationCase{3, L"a and b\u2028 more c", L"a"},
        CurationCase{3, L"a and 2 more b\u2028c", L"a"},
        // White space runs over line feeds, vertical tabs and form feeds.
        CurationCase{0, L"a -\n\v\f\tb - c", L"c"}, CurationCase{0, L"a -\n\nb", L"b"},
        CurationCase{1, L"a\n\t- b", L"a"}, CurationCase{1, L"a - b\n- c", L"a"},
        // The run after the last hyphen takes line feeds up to the end.
        CurationCase{1, L"a -\n", L"a"}, CurationCase{1, L"a - b\nc\nd", L"a"},
        // Other dashes are ordinary characters.
        CurationCase{0, L"a \u2014 b \u2212 c", L"a \u2014 b \u2212 c"},
        // A pair outside the BMP stays whole on either side of a cut.
        CurationCase{0, L"\xD83D\xDE00 - \xD83D\xDE01", L"\xD83D\xDE01"},
        CurationCase{1, L"\xD83D\xDE00 - \xD83D\xDE01", L"\xD83D\xDE00"},
        // Every other unit belongs to the classes, the last and the null one included.
        CurationCase{0, L"\uFFFF - \uFFFF", L"\uFFFF"}, CurationCase{1, L"a - \uFFFF", L"a"},
        CurationCase{1, std::wstring(L"a - \0b", 6), L"a"},
        CurationCase{3, std::wstring(L"a and \0 more \uFFFF", 14), L"a"},
        // " and " and " more " need their own spaces.
        CurationCase{3, L"a and more b", L"a and more b"},
        CurationCase{3, L"a and  more b", L"a"}));

TEST(PrivateBrowserWindow, HidesTheTitleAndNamesNoDocument) {
    const AppEntry entry = entryWithRule(BrowserTabs);
    for (const std::wstring title :
         {L"New tab - [InPrivate] - Browser", L"[InPrivate]", L"a and 2 more [InPrivate] x"}) {
        const CuratedTitle result = curateTitle(title, &entry);
        EXPECT_EQ(shown(result.curatedTitle), "[Private]") << shown(title);
        EXPECT_EQ(shown(result.documentName), "") << shown(title);
    }
}

TEST(PrivateBrowserWindow, EmptyMarkerMakesEveryTitlePrivate) {
    const AppEntry entry{nullptr, 0, BrowserTabs, 1, L""};
    const CuratedTitle result = curateTitle(L"Weather", &entry);
    EXPECT_EQ(shown(result.curatedTitle), "[Private]");
    EXPECT_EQ(shown(result.documentName), "");
}

TEST(PrivateBrowserWindow, MarkerLongerThanTheTitleDoesNotOccur) {
    const AppEntry entry{nullptr, 0, BrowserTabs, 1, L"[InPrivate] and more"};
    const CuratedTitle result = curateTitle(L"[InPrivate]", &entry);
    EXPECT_EQ(shown(result.curatedTitle), "[InPrivate]");
}

TEST(KeptTitle, KeepTitleOtherRulesAndNoEntryKeepEveryUnit) {
    const std::wstring title = L"notes.txt - Editor";
    for (const std::int32_t rule : {2, 7, -1, 4, INT32_MIN, INT32_MAX}) {
        const AppEntry entry = entryWithRule(rule);
        const CuratedTitle result = curateTitle(title, &entry);
        EXPECT_EQ(shown(result.curatedTitle), shown(title)) << "rule " << rule;
        EXPECT_EQ(shown(result.documentName), shown(title)) << "rule " << rule;
    }
    const CuratedTitle result = curateTitle(title, nullptr);
    EXPECT_EQ(shown(result.curatedTitle), shown(title));
    EXPECT_EQ(shown(result.documentName), shown(title));
}

// Titles drawn from the units and words the rules react to; the browser rule's words and
// markers are drawn more often for the browser rule.
std::wstring randomTitle(std::mt19937& random, std::int32_t rule) {
    static const std::vector<std::wstring> pieces = {
        L" ", L" ", L"-", L"-",      L"\t",           L"\n", L"\r",   L" and ", L" more ",
        L"a", L"b", L"Z", L"\u00E9", L"\xD83D\xDE00", L" -", L"\r\n", L"\v",
    };
    static const std::vector<std::wstring> browserPieces = {L" and ", L" more ", L" and ",
                                                            L" more ", L"[inprivate]"};
    std::uniform_int_distribution<std::size_t> length(1, 24);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<std::size_t> browserPiece(0, browserPieces.size() - 1);
    std::uniform_int_distribution<int> percent(0, 999);
    std::wstring title;
    for (std::size_t count = length(random); count > 0; --count) {
        const int draw = percent(random);
        if (rule == BrowserTabs && draw < 5) {
            title += L"[InPrivate]";
        } else if (rule == BrowserTabs && draw < 200) {
            title += browserPieces[browserPiece(random)];
        } else {
            title += pieces[piece(random)];
        }
    }
    return title;
}

class RandomTitles : public testing::TestWithParam<std::int32_t> {};

TEST_P(RandomTitles, AgreeWithTheRuleInWordsAndWithTheEngineAlone) {
    const std::int32_t rule = GetParam();
    const AppEntry entry = entryWithRule(rule);
    std::mt19937 random(20240601u + static_cast<std::uint32_t>(rule));
    int disagreements = 0;
    for (int count = 0; count < 5000 && disagreements < 10; ++count) {
        const std::wstring title = randomTitle(random, rule);
        const CuratedTitle result = curateTitle(title, &entry);
        const CuratedTitle stated = reference::curateTitle(title, &entry);
        EXPECT_EQ(shown(result.curatedTitle), shown(stated.curatedTitle))
            << "title " << shown(title);
        EXPECT_EQ(shown(result.documentName), shown(stated.documentName))
            << "title " << shown(title);
        if (title.find(entry.privateMarker) == std::wstring::npos) {
            EXPECT_EQ(shown(result.curatedTitle), shown(unguided::removeEveryMatch(title, rule)))
                << "title " << shown(title);
        }
        if (result.curatedTitle != stated.curatedTitle) {
            ++disagreements;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachCuttingRule, RandomTitles,
                         testing::Values(DropThroughLastDash, DropLastDashPart, BrowserTabs));

TEST(LongTitles, AgreeWithTheRuleInWordsAndWithTheEngineAlone) {
    for (const LongTitle& c : longTitles()) {
        const AppEntry entry = entryWithRule(c.rule);
        const std::wstring curated = curateTitle(c.title, &entry).curatedTitle;
        EXPECT_EQ(curated, reference::curateTitle(c.title, &entry).curatedTitle) << c.name;
        EXPECT_EQ(curated, unguided::removeEveryMatch(c.title, c.rule)) << c.name;
    }
}

} // namespace
