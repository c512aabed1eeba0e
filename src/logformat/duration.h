// A length of time as a person types it on either program's command line: "90s", "10m",
// "1.5h", or a plain number in the option's own unit (seconds, unless it says minutes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logformat {

struct DurationBounds {
    std::int64_t plainUnitMs = 1000; // what a number without a unit counts: seconds, minutes
    std::int64_t minMs = 1;          // 0 lets zero through
    std::int64_t maxMs = 10 * 366 * 86'400'000LL;
};

struct DurationParse {
    std::optional<std::int64_t> ms; // rounded to the millisecond
    std::string problem;            // when there is none: what was wrong, naming TEXT
};

// Digits with at most one point between them, then an optional unit s, m or h: no sign,
// exponent, space or "inf". Refused below MIN_MS or above MAX_MS, with the bound named.
DurationParse parseDuration(std::string_view text, const DurationBounds& bounds = {});

// MS in the largest unit that says it exactly: "24h", "90m", "0.1s".
std::string durationText(std::int64_t ms);

} // namespace logformat
