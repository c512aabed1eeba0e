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

bool isGap(const EventBuilder& builder, std::int64_t wallMs, std::int64_t monotonicMs) {
    const std::int64_t gap = builder.settings.gapMs;
    // A wall clock set back would make the next event start before this one ended.
    return wallMs - builder.lastWallMs > gap || monotonicMs - builder.lastMonotonicMs > gap ||
           wallMs < builder.open->end.unixMs;
}

// Where the open event hands over to WHAT, taken at NOW_MS. Idle begins at the last
// input, not at the sample that noticed it; and an idle spell ends once input is seen.
std::int64_t handOver(const LogEvent& open, const Observation& sample) {
    std::int64_t cut = sample.wallMs;
    if (sample.idleMs) {
        const std::int64_t lastInput = sample.wallMs - *sample.idleMs;
        if (sample.what.state == ActivityState::idle) {
            cut = lastInput;
        } else if (open.state == ActivityState::idle) {
            cut = std::max(lastInput, open.end.unixMs);
        }
    }
    return std::clamp(cut, open.start.unixMs, sample.wallMs);
}

} // namespace

std::vector<LogEvent> observe(EventBuilder& builder, const Observation& sample) {
    std::vector<LogEvent> closed;
    const std::int64_t now = sample.wallMs;
    if (!builder.open) {
        startOpen(builder, sample.what, now, now, closed);
    } else if (isGap(builder, now, sample.monotonicMs)) {
        // The open event ends at its last sample; the time between stays unrecorded.
        keepIfTimed(closed, *builder.open);
        startOpen(builder, sample.what, now, now, closed);
    } else if (sameActivity(*builder.open, sample.what)) {
        endOpenAt(builder, now, closed);
    } else {
        const std::int64_t cut = handOver(*builder.open, sample);
        builder.open->end = stamp(builder, cut);
        endOpenAt(builder, cut, closed);
        keepIfTimed(closed, *builder.open);
        startOpen(builder, sample.what, cut, now, closed);
    }
    builder.lastWallMs = now;
    builder.lastMonotonicMs = sample.monotonicMs;
    return closed;
}

std::vector<LogEvent> finish(EventBuilder& builder, std::int64_t wallMs, std::int64_t monotonicMs) {
    std::vector<LogEvent> closed;
    if (!builder.open) {
        return closed;
    }
    if (!isGap(builder, wallMs, monotonicMs)) {
        endOpenAt(builder, wallMs, closed);
    }
    keepIfTimed(closed, *builder.open);
    builder.open.reset();
    return closed;
}

} // namespace activity_log
