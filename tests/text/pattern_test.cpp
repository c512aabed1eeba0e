// The users' patterns: linear time on hostile titles, refusals with a reason, and the
// common syntax of the documented uses.
#include "text/pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using text::compilePattern;
using text::matchesAnywhere;

bool matches(const std::string& pattern, const std::string& title, bool ignoreCase = false) {
    const text::CompiledPattern compiled = compilePattern(pattern, {ignoreCase});
    EXPECT_TRUE(compiled.pattern) << pattern << ": " << compiled.error;
    return compiled.pattern && matchesAnywhere(*compiled.pattern, title);
}

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// Each overflowed a backtracking matcher's stack or ran for hours: the longest title
// the sampler gives, 1023 UTF-16 units, is enough.
TEST(Pattern, HostilePatternsOnHostileTitlesGiveTheRightAnswer) {
    const std::string cjk = repeated("\xE5\xAD\x97", 1022); // 字
    const std::string words = repeated("word ", 30) + "x";  // 151 characters
    struct Case {
        std::string pattern;
        std::string title;
        bool matches;
    };
    const Case cases[] = {
        {"(.|\\s)*x", cjk, false},
        {"(.|\\s)*x", cjk + "x", true},
        {"(\\w+\\s?)+Bank", words, false},
        {"(\\w+\\s?)+Bank", words + " Bank", true},
        {"(a+)+$", repeated("a", 1022) + "!", false},
        {"(a+)+!$", repeated("a", 1022) + "!", true},
        {"(a|aa)*b", repeated("a", 1023), false},
        {"(x+x+)+y", repeated("x", 1023), false},
        {"^(([a-z])+.)+[A-Z]([a-z])+$", repeated("a", 1022) + "!", false},
        {"(.*a){20}", repeated("a", 19) + repeated("b", 1000), false},
        // Deep nesting: parsed without recursion.
        {repeated("(", 5000) + "a" + repeated(")", 5000), "a", true},
        {repeated("(?:", 5000) + "a" + repeated(")*", 5000), cjk, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matches(c.pattern, c.title), c.matches) << c.pattern.substr(0, 40);
    }
}

TEST(Pattern, WhatCantBeMatchedInLinearTimeIsRefusedWithAReason) {
    struct Case {
        std::string pattern;
        std::string reason;
    };
    const Case cases[] = {
        {"(a)\\1", "backreferences and lookaround"},
        {"x(?=y)", "backreferences and lookaround"},
        {"x(?!y)", "backreferences and lookaround"},
        {"(?<=a)b", "backreferences and lookaround"},
        {"(?<!a)b", "backreferences and lookaround"},
        {"(", "missing )"},
        {"a)", "unexpected )"},
        {"[a", "missing ]"},
        {"*a", "no argument for repetition operator"},
        {"a{2,1}", "invalid repetition size"},
        {"\\p{Nope}", "invalid character class range"},
        {"caf\xE9", "invalid UTF-8"},
        {"[\\pL]{1000}", "too large: it would need more than 1 MiB"},
    };
    for (const Case& c : cases) {
        const text::CompiledPattern compiled = compilePattern(c.pattern);
        EXPECT_FALSE(compiled.pattern) << c.pattern;
        EXPECT_NE(compiled.error.find(c.reason), std::string::npos)
            << c.pattern << ": " << compiled.error;
    }
    EXPECT_EQ(compilePattern("(?<name>a)").error.find("lookaround"), std::string::npos)
        << "a named group is no lookbehind";
}

TEST(Pattern, TheCommonSyntaxSearchedAnywhereInUtf8) {
    struct Case {
        std::string pattern;
        std::string text;
        bool matches;
    };
    const Case cases[] = {
        {"Bank|Private", "My Bank - statement", true},
        {"Bank|Private", "InPrivate - Microsoft Edge", true},
        {"Bank|Private", "bank", false},
        {"^(Zoom|Microsoft Teams)$", "Microsoft Teams", true},
        {"^(Zoom|Microsoft Teams)$", "Zoom", true},
        {"^(Zoom|Microsoft Teams)$", "Zoom Workplace", false},
        {"^(Zoom|Microsoft Teams)$", "Microsoft Teams (work)", false},
        {"^.{3}$", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true}, // a dot is a character
        {"^.{3}$", "\xF0\x9F\x98\x80!?", true},
        {"\\d{4}-\\d\\d", "report 2026-12.docx", true},
        {"\\bcat\\b", "concatenate", false},
        {"\\bcat\\b", "a cat.png", true},
        {"[^/]+\\.docx$", "C:/Users/ann/report.docx", true},
        {"a.*?b", "axxb", true},
        {"(?i)bank", "MY BANK", true},
        {"\\/\\.\\-", "/.-", true},
        {"", "anything", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matches(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
    }
    EXPECT_TRUE(matches("bank", "MY BANK", true));
    EXPECT_TRUE(matches("\xC3\xA9"
                        "cole",
                        "\xC3\x89"
                        "COLE",
                        true))
        << "Unicode case folding";
    EXPECT_FALSE(matches("bank", "MY BANK"));
}

} // namespace
