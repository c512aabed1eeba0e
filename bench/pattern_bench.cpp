// What a pattern costs: compiling it at the start, and matching it against a sample's
// title, the README's patterns on a typical title and hostile ones on the longest title
// the sampler gives, with the standard library's backtracking matcher for reference
// where it survives.
#include "text/pattern.h"

#include <benchmark/benchmark.h>

#include <regex>
#include <string>

namespace {

const std::string typical = "quarterly report.docx - Word";
const std::string words = [] {
    std::string out;
    for (int i = 0; i < 30; ++i) {
        out += "word ";
    }
    return out + "x";
}();
const std::string cjk = [] {
    std::string out;
    for (int i = 0; i < 1023; ++i) {
        out += "\xE5\xAD\x97"; // 字
    }
    return out;
}();

void compileDocumented(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::compilePattern("^(Zoom|Microsoft Teams)$"));
    }
}

void matchPattern(benchmark::State& state, const char* pattern, const std::string* title) {
    const text::Pattern compiled = *text::compilePattern(pattern).pattern;
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::matchesAnywhere(compiled, *title));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * title->size()));
}

void matchStandard(benchmark::State& state, const char* pattern, const std::string* title) {
    const std::regex compiled(pattern, std::regex::ECMAScript | std::regex::optimize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::regex_search(*title, compiled));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * title->size()));
}

} // namespace

BENCHMARK(compileDocumented);
BENCHMARK_CAPTURE(matchPattern, documented_typical, "Bank|Private", &typical);
BENCHMARK_CAPTURE(matchStandard, documented_typical, "Bank|Private", &typical);
BENCHMARK_CAPTURE(matchPattern, documented_cjk, "Bank|Private", &cjk);
BENCHMARK_CAPTURE(matchStandard, documented_cjk, "Bank|Private", &cjk);
BENCHMARK_CAPTURE(matchPattern, hostile_words, "(\\w+\\s?)+Bank", &words);
BENCHMARK_CAPTURE(matchPattern, hostile_cjk, "(.|\\s)*x", &cjk);

BENCHMARK_MAIN();
