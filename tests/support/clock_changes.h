// The hours the clocks skip and repeat, as every command that reads a local time must
// read them: New York in 2026, one table for the parser and for each command.
#pragma once

#include <cstdint>

namespace test_support {

// -04:00 from 2026-03-08 07:00Z to 2026-11-01 06:00Z, else -05:00.
inline std::int32_t newYork(std::int64_t unixMs) {
    return unixMs >= 1'772'953'200'000 && unixMs < 1'793'512'800'000 ? -240 : -300;
}

struct ClockChangeCase {
    const char* what;
    const char* text;
    std::int64_t unixMs;
};

inline constexpr ClockChangeCase clockChanges[] = {
    {"before the clocks go forward", "2026-03-08 01:30", 1'772'951'400'000},
    {"skipped: the moment they jump", "2026-03-08 02:30", 1'772'953'200'000},
    {"after they went forward", "2026-03-08 03:30", 1'772'955'000'000},
    {"repeated: the first time through", "2026-11-01 01:30", 1'793'511'000'000},
    {"repeated, the first by its offset", "2026-11-01 01:30-04:00", 1'793'511'000'000},
    {"repeated, the second by its offset", "2026-11-01 01:30-05:00", 1'793'514'600'000},
    {"after they went back", "2026-11-01 02:00", 1'793'516'400'000},
};

} // namespace test_support
