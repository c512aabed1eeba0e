// A set of days (numbers since 1970-01-01) kept as sorted runs of consecutive days, so
// that adding a span of ten thousand years costs what adding one day does, and so does
// asking about a day.
#pragma once

#include <cstdint>
#include <iterator>
#include <map>

namespace report {

struct DaySpans {
    std::map<std::int64_t, std::int64_t> runs; // first day to last day; no two touch

    // The days FIRST to LAST, both included; none when LAST is before FIRST.
    void add(std::int64_t first, std::int64_t last) {
        if (last < first) {
            return;
        }
        // Runs that overlap or touch the new one become part of it.
        auto next = runs.upper_bound(first);
        if (next != runs.begin() && std::prev(next)->second >= first - 1) {
            --next;
            first = next->first;
        }
        while (next != runs.end() && next->first <= last + 1) {
            last = next->second > last ? next->second : last;
            next = runs.erase(next);
        }
        runs.emplace(first, last);
    }

    bool contains(std::int64_t day) const {
        auto after = runs.upper_bound(day);
        return after != runs.begin() && std::prev(after)->second >= day;
    }
};

} // namespace report
