// What one sample says the user is doing: a state and the window's fields, before any
// time is attached. The user's rules apply here: idle, --keep-active, --exclude.
#pragma once

#include "activity_log/sample_line.h"
#include "logformat/log_event.h"
#include "text/pattern.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

struct ActivityRules {
    std::int64_t idleAfterMs = 180'000;
    std::vector<text::Pattern> keepActive; // on app
    std::vector<text::Pattern> exclude;    // on app and title
};

// Compiles the patterns, already checked by the options (one that isn't a pattern
// would match nothing).
std::vector<text::Pattern> compilePatterns(const std::vector<std::string>& patterns);

// The title an excluded sample is recorded with.
using logformat::excludedTitle;

// The event fields (start and end left at zero) for SAMPLE, or for a sampler run that
// gave none (unavailable). IDLE_MS is the time since the last input, when known;
// SESSION_LOCKED, whether the login manager says the session is locked: the window
// behind a lock screen is not what the user is doing, and its text is not recorded.
logformat::LogEvent describeSample(const std::optional<Sample>& sample,
                                   std::optional<std::int64_t> idleMs, const ActivityRules& rules,
                                   bool sessionLocked = false);

} // namespace activity_log
