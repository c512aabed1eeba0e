// curateTitle on typical titles (20 to 100 units) and on the longest titles built to make a
// search slow, next to the engine searching alone on the same titles.
//
//   build/native/bench/curation-bench
//
// Targets: every typical title in at most 20 us, no long title over 2 ms.
#include "knowledge/app_table.h"
#include "knowledge/title_curation.h"
#include "long_titles.h"
#include "unguided_curation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct TypicalTitle {
    const char* name;
    std::int32_t rule;
    std::wstring title;
};

std::vector<TypicalTitle> typicalTitles() {
    return {
        {"database collection", 0, L"Connections - localhost:27017 - shop.orders"},
        {"database, no space-hyphen", 0, L"MongoDB Compass"},
        {"document", 1, L"Quarterly report (final) v3.docx - Microsoft Word"},
        {"code editor", 1,
         L"title_curation.cpp - activity-sampler - Visual Studio Code [Administrator]"},
        {"mail, long subject", 1,
         L"Re: follow-up on the quarterly budget review and the hiring plan for the "
         L"next year - Outlook"},
        {"no hyphen", 1, L"Untitled Notebook"},
        {"browser tabs", 3, L"Weather forecast and 3 more pages - Profile 1 - Microsoft Edge"},
        {"browser, one tab", 3, L"Search results for title rules - Work - Microsoft Edge"},
        {"browser, private", 3, L"New tab - [InPrivate] - Microsoft Edge"},
        {"music", 2, L"Artist Name - Song Title (Live at the Hall)"},
    };
}

AppEntry entryWithRule(std::int32_t rule) {
    return AppEntry{nullptr, 0, rule, 0, L"[InPrivate]"};
}

void curate(benchmark::State& state, std::int32_t rule, const std::wstring& title) {
    const AppEntry entry = entryWithRule(rule);
    for (auto _ : state) {
        benchmark::DoNotOptimize(curateTitle(title, &entry));
    }
}

// The rules that keep the title never search, so only the cutting rules have a baseline.
void searchAlone(benchmark::State& state, std::int32_t rule, const std::wstring& title) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(unguided::removeEveryMatch(title, rule));
    }
}

void add(const char* kind, const char* name, std::int32_t rule, const std::wstring& title) {
    const std::string suffix = std::string("/rule ") + std::to_string(rule) + "/" + kind + "/" +
                               name + " (" + std::to_string(title.size()) + " units)";
    benchmark::RegisterBenchmark(("curateTitle" + suffix).c_str(), curate, rule, title)
        ->Unit(benchmark::kMicrosecond);
    if (rule != KeepTitle) {
        benchmark::RegisterBenchmark(("engine alone" + suffix).c_str(), searchAlone, rule, title)
            ->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char** argv) {
    for (const TypicalTitle& t : typicalTitles()) {
        add("typical", t.name, t.rule, t.title);
    }
    for (const LongTitle& t : longTitles()) {
        add("long", t.name, t.rule, t.title);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
