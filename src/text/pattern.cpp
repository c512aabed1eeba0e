#include "text/pattern.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>

namespace text {

CompiledPattern compilePattern(std::string_view source, PatternOptions options) {
    RE2::Options settings;
    settings.set_log_errors(false); // the caller says what was wrong, once
    settings.set_max_mem(patternMemoryLimit);
    settings.set_never_capture(true); // whether it matches is all that is asked
    settings.set_case_sensitive(!options.ignoreCase);
    auto compiled =
        std::make_shared<const RE2>(re2::StringPiece(source.data(), source.size()), settings);
    CompiledPattern result;
    if (compiled->ok()) {
        result.pattern = Pattern{std::move(compiled)};
        return result;
    }
    const std::string& argument = compiled->error_arg();
    switch (compiled->error_code()) {
    case RE2::ErrorPatternTooLarge:
        result.error = "too large: it would need more than " +
                       std::to_string(patternMemoryLimit >> 20) + " MiB";
        break;
    case RE2::ErrorBadEscape:
    case RE2::ErrorBadPerlOp: {
        const bool backreference =
            argument.size() == 2 && argument[0] == '\\' && argument[1] >= '1' && argument[1] <= '9';
        // RE2 names "(?<" alone, which also opens a named group (?<name>...).
        bool lookaround = false;
        for (const std::string_view opener : {"(?=", "(?!", "(?<=", "(?<!"}) {
            lookaround = lookaround || source.find(opener) != std::string_view::npos;
        }
        result.error = compiled->error();
        if (backreference || (lookaround && compiled->error_code() == RE2::ErrorBadPerlOp)) {
            result.error += " (backreferences and lookaround can't be matched in linear time)";
        }
        break;
    }
    default:
        result.error = compiled->error();
        break;
    }
    return result;
}

bool matchesAnywhere(const Pattern& pattern, std::string_view text) {
    return pattern.compiled &&
           RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *pattern.compiled);
}

} // namespace text

namespace text {

// The set, and each pattern on its own: should the set's matcher run out of its memory
// on some text, the patterns are tried one by one instead, still in linear time.
struct PatternSet::Compiled {
    RE2::Set set;
    std::vector<Pattern> members;
    Compiled(const RE2::Options& options) : set(options, RE2::UNANCHORED) {}
};

CompiledPatternSet compilePatternSet(const std::vector<PatternSource>& sources) {
    CompiledPatternSet result;
    if (sources.empty()) {
        result.set = PatternSet{};
        return result;
    }
    RE2::Options settings;
    settings.set_log_errors(false);
    // Room for each pattern's share of the set's program and states.
    settings.set_max_mem(patternMemoryLimit * static_cast<std::int64_t>(sources.size() + 1));
    settings.set_never_capture(true);
    auto compiled = std::make_shared<PatternSet::Compiled>(settings);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        CompiledPattern one = compilePattern(sources[i].source, sources[i].options);
        if (!one.pattern) {
            result.failed = i;
            result.error = std::move(one.error);
            return result;
        }
        compiled->members.push_back(std::move(*one.pattern));
        // The same pattern in a group of its own, so that its flags and alternatives stay
        // its own in the set.
        const std::string grouped =
            (sources[i].options.ignoreCase ? "(?i:" : "(?:") + sources[i].source + ")";
        std::string error;
        if (compiled->set.Add(re2::StringPiece(grouped.data(), grouped.size()), &error) < 0) {
            result.failed = i;
            result.error = error.empty() ? "not a pattern" : error;
            return result;
        }
    }
    if (!compiled->set.Compile()) {
        result.failed = sources.size() - 1;
        result.error =
            "too large together: the patterns of one field would need more than " +
            std::to_string((patternMemoryLimit * static_cast<std::int64_t>(sources.size() + 1)) >>
                           20) +
            " MiB";
        return result;
    }
    result.set = PatternSet{std::move(compiled), sources.size()};
    return result;
}

void matchingPatterns(const PatternSet& set, std::string_view text, std::vector<int>& matched) {
    matched.clear();
    if (!set.compiled) {
        return;
    }
    RE2::Set::ErrorInfo info{};
    const re2::StringPiece piece(text.data(), text.size());
    if (set.compiled->set.Match(piece, &matched, &info)) {
        std::sort(matched.begin(), matched.end());
        return;
    }
    matched.clear();
    if (info.kind == RE2::Set::kNoError) {
        return; // none matched
    }
    for (std::size_t i = 0; i < set.compiled->members.size(); ++i) {
        if (matchesAnywhere(set.compiled->members[i], text)) {
            matched.push_back(static_cast<int>(i));
        }
    }
}

} // namespace text
