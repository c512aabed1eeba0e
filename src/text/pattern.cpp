#include "text/pattern.h"

#include <re2/re2.h>

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
