// Turns samples into events: a pure state machine, fed each sample with the moment it
// was taken on both clocks. It never asks the system anything; the local offset comes
// in as a function, so that every rule can be tested with any clock and time zone.
#pragma once

#include "logformat/log_event.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace activity_log {

struct BuilderSettings {
    // Longer than this between two samples, on either clock, and the time between them
    // is not recorded: the machine slept, or the collector was stopped or starved.
    std::int64_t gapMs = 15'000;
    // Local time minus UTC, in minutes, at a moment (unix milliseconds).
    std::function<std::int32_t(std::int64_t)> offsetAt = [](std::int64_t) { return 0; };
};

struct Observation {
    std::int64_t wallMs = 0;            // the system clock, unix milliseconds
    std::int64_t monotonicMs = 0;       // a clock that never jumps
    logformat::LogEvent what;           // state and fields; start and end are ignored
    std::optional<std::int64_t> idleMs; // time since the last input, when known
};

struct EventBuilder {
    BuilderSettings settings;
    std::optional<logformat::LogEvent> open; // the event still running
    std::int64_t lastWallMs = 0;
    std::int64_t lastMonotonicMs = 0;
    // The moment the last sample was given: its wall clock, or, once that was set back,
    // the moment before carried forward on the monotonic clock.
    std::int64_t lastMs = 0;
};

// Takes one sample; returns the events it closed, oldest first. A wall clock set back
// never makes an event start before the last one ended: time goes on by the monotonic
// clock until the wall clock reads later again (a sleep, a step forward).
std::vector<logformat::LogEvent> observe(EventBuilder& builder, const Observation& sample);

// Stops at the moment given: the open event ends there (or at its last sample, when
// that lies further back than a gap) and is returned.
std::vector<logformat::LogEvent> finish(EventBuilder& builder, std::int64_t wallMs,
                                        std::int64_t monotonicMs);

} // namespace activity_log
