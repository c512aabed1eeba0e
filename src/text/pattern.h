// The patterns a user gives (the collector's --exclude and --keep-active, the report's
// rules), matched in time linear in the text whatever the pattern: titles come from web
// pages, and a backtracking matcher can be made to run for hours or to overflow its
// stack on one. The syntax is the common one of ECMAScript and Perl (`|`, groups,
// classes, `\d` `\w` `\s` `\b`, counted and lazy repeats, `(?i)`), in UTF-8: a `.` is
// one character. Backreferences and lookaround can't be matched so, and are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

namespace re2 {
class RE2;
}

namespace text {

struct Pattern {
    std::shared_ptr<const re2::RE2> compiled; // shared: a pattern is copied freely
};

struct PatternOptions {
    bool ignoreCase = false; // Unicode's simple case folding
};

// Each pattern's program and the states matching builds are held to this, so that a
// huge pattern is refused at the start instead of exhausting memory.
inline constexpr std::int64_t patternMemoryLimit = 1 << 20;

struct CompiledPattern {
    std::optional<Pattern> pattern;
    std::string error; // without a pattern: why, for the user ("missing ): (")
};

CompiledPattern compilePattern(std::string_view source, PatternOptions options = {});

// Whether PATTERN matches anywhere in TEXT (UTF-8).
bool matchesAnywhere(const Pattern& pattern, std::string_view text);

// Several patterns searched for in one pass over a text, still in linear time: what
// many rules on one field cost little more than one.
struct PatternSet {
    struct Compiled;
    std::shared_ptr<const Compiled> compiled; // none for an empty set
    std::size_t size = 0;
};

struct PatternSource {
    std::string source;
    PatternOptions options;
};

struct CompiledPatternSet {
    std::optional<PatternSet> set;
    std::size_t failed = 0; // without a set: the pattern that was refused, and why
    std::string error;
};

CompiledPatternSet compilePatternSet(const std::vector<PatternSource>& sources);

// The indices of the set's patterns that match anywhere in TEXT, in ascending order,
// into MATCHED (cleared first).
void matchingPatterns(const PatternSet& set, std::string_view text, std::vector<int>& matched);

} // namespace text
