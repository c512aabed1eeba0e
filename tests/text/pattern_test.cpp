// The users' patterns: linear time on hostile titles, and the common syntax of the
// documented uses. (What is refused, and why, the collector's own test shows.)
#include "text/pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool matches(const std::string& pattern, const std::string& title, bool ignoreCase = false) {
    const text::CompiledPattern compiled = text::compilePattern(pattern, {ignoreCase});
    EXPECT_TRUE(compiled.pattern) << pattern.substr(0, 40) << ": " << compiled.error;
    return compiled.pattern && text::matchesAnywhere(*compiled.pattern, title);
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

struct Case {
    std::string pattern;
    std::string title;
    bool matches;
};

// Each overflowed a backtracking matcher's stack or ran for hours: the longest title
// the sampler gives, 1023 UTF-16 units, is enough.
TEST(Pattern, HostilePatternsOnHostileTitlesGiveTheRightAnswer) {
    const std::string cjk = repeated("\xE5\xAD\x97", 1022); // 字
    const std::string words = repeated("word ", 30) + "x";  // 151 characters
    const Case cases[] = {
        {"(.|\\s)*x", cjk, false},
        {"(.|\\s)*x", cjk + "x", true},
        {"(\\w+\\s?)+Bank", words, false},
        {"(\\w+\\s?)+Bank", words + " Bank", true},
        {"(a|aa)*b", repeated("a", 1023), false},
        {"(.*a){20}", repeated("a", 19) + repeated("b", 1000), false},
        // Deep nesting: parsed without recursion.
        {repeated("(", 5000) + "a" + repeated(")", 5000), "a", true},
        {repeated("(?:", 5000) + "a" + repeated(")*", 5000), cjk, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matches(c.pattern, c.title), c.matches) << c.pattern.substr(0, 40);
    }
}

TEST(Pattern, TheCommonSyntaxSearchedAnywhereInUtf8) {
    const Case cases[] = {
        {"Bank|Private", "InPrivate - Microsoft Edge", true},
        {"Bank|Private", "bank", false},
        {"^(Zoom|Microsoft Teams)$", "Microsoft Teams", true},
        {"^(Zoom|Microsoft Teams)$", "Zoom Workplace", false},
        {"^.{3}$", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true}, // a dot is a character
        {"^.{3}$", "\xF0\x9F\x98\x80!?", true},
        {"\\bcat\\b \\d{4}", "a cat 2026.png", true},
        {"(?i)bank", "MY BANK", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matches(c.pattern, c.title), c.matches) << c.pattern << " on " << c.title;
    }
    EXPECT_TRUE(matches("\xC3\xA9"
                        "cole",
                        "\xC3\x89"
                        "COLE",
                        true))
        << "Unicode case folding";
}

} // namespace
