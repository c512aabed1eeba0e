#include "activity_log/event_builder.h"

#include <algorithm>

namespace activity_log {
namespace {

using logformat::ActivityState;
using logformat::LogEvent;
using logformat::Timestamp;

Timestamp stamp(const EventBuilder& builder, std::int64_t unixMs) {
    return Timestamp{unixMs, builder.settings.offsetAt(unixMs)};
}

// Consecutive samples of one window in one state are one event.
bool sameActivity(const LogEvent& a, const LogEvent& b) {
    return a.state == b.state && a.title == b.title && a.pid == b.pid && a.exePath == b.exePath;
}

void keepIfTimed(std::vector<LogEvent>& closed, const LogEvent& event) {
    if (logformat::durationMs(event) > 0) {
        closed.push_back(event);
    }
}

// Moves the open event's end to END_MS; every local midnight it crosses closes the
// part before it, so that no event spans two days.
void endOpenAt(EventBuilder& builder, std::int64_t endMs, std::vector<LogEvent>& closed) {
    LogEvent& open = *builder.open;
    open.end = stamp(builder, endMs);
    while (const auto midnight =
               logformat::nextMidnight(open.start, open.end, builder.settings.offsetAt)) {
        LogEvent before = open;
        before.end = *midnight;
        keepIfTimed(closed, before);
        open.start = *midnight;
    }
}

void startOpen(EventBuilder& builder, const LogEvent& what, std::int64_t startMs,
               std::int64_t nowMs, std::vector<LogEvent>& closed) {
    LogEvent event = what;
    event.start = stamp(builder, startMs);
    event.end = event.start;
    builder.open = std::move(event);
    endOpenAt(builder, nowMs, closed);
}

// Up to this much, the wall clock reading behind the monotonic one since the last
// sample is the two clocks' drift and rounding; beyond it, the wall clock was set back.
constexpr std::int64_t clockStepMs = 1000;

// The moment a sample is given. Once the wall clock was set back, the last moment
// carried forward on the monotonic clock, until the wall clock catches up: events then
// follow each other as the time really passed, never overlapping.
std::int64_t momentOf(const EventBuilder& builder, std::int64_t wallMs, std::int64_t monotonicMs) {
    if (!builder.open) {
        return wallMs;
    }
    const std::int64_t carried =
        builder.lastMs + std::max<std::int64_t>(0, monotonicMs - builder.lastMonotonicMs);
    return wallMs < carried - clockStepMs ? carried : std::max(wallMs, builder.lastMs);
}

bool isGap(const EventBuilder& builder, std::int64_t wallMs, std::int64_t monotonicMs) {
    const std::int64_t gap = builder.settings.gapMs;
    return wallMs - builder.lastWallMs > gap || monotonicMs - builder.lastMonotonicMs > gap;
}

// Where the open event hands over to the sample's activity, given at NOW_MS. Idle begins
// at the last input, not at the sample that noticed it; and an idle spell ends once
// input is seen.
std::int64_t handOver(const LogEvent& open, const Observation& sample, std::int64_t nowMs) {
    std::int64_t cut = nowMs;
    if (sample.idleMs) {
        const std::int64_t lastInput = nowMs - *sample.idleMs;
        if (sample.what.state == ActivityState::idle) {
            cut = lastInput;
        } else if (open.state == ActivityState::idle) {
            cut = std::max(lastInput, open.end.unixMs);
        }
    }
    return std::clamp(cut, open.start.unixMs, nowMs);
}

} // namespace

std::vector<LogEvent> observe(EventBuilder& builder, const Observation& sample) {
    std::vector<LogEvent> closed;
    const std::int64_t now = momentOf(builder, sample.wallMs, sample.monotonicMs);
    if (!builder.open) {
        startOpen(builder, sample.what, now, now, closed);
    } else if (isGap(builder, sample.wallMs, sample.monotonicMs)) {
        // The open event ends at its last sample; the time between stays unrecorded.
        keepIfTimed(closed, *builder.open);
        startOpen(builder, sample.what, now, now, closed);
    } else if (sameActivity(*builder.open, sample.what)) {
        endOpenAt(builder, now, closed);
    } else {
        const std::int64_t cut = handOver(*builder.open, sample, now);
        builder.open->end = stamp(builder, cut);
        endOpenAt(builder, cut, closed);
        keepIfTimed(closed, *builder.open);
        startOpen(builder, sample.what, cut, now, closed);
    }
    builder.lastWallMs = sample.wallMs;
    builder.lastMonotonicMs = sample.monotonicMs;
    builder.lastMs = now;
    return closed;
}

std::vector<LogEvent> finish(EventBuilder& builder, std::int64_t wallMs, std::int64_t monotonicMs) {
    std::vector<LogEvent> closed;
    if (!builder.open) {
        return closed;
    }
    if (!isGap(builder, wallMs, monotonicMs)) {
        endOpenAt(builder, momentOf(builder, wallMs, monotonicMs), closed);
    }
    keepIfTimed(closed, *builder.open);
    builder.open.reset();
    return closed;
}

} // namespace activity_log
