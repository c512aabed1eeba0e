#include "activity_report/day_axis.h"

#include <algorithm>
#include <cstdio>

namespace report {

namespace {

constexpr std::int64_t hourMs = 3'600'000;

std::string hourLabel(std::int64_t localMs) {
    char label[8];
    std::snprintf(label, sizeof label, "%02d",
                  static_cast<int>(logformat::floorDiv(localMs, hourMs) % 24 + 24) % 24);
    return label;
}

} // namespace

std::int32_t offsetOn(const Day& day, std::int64_t ms) {
    std::int32_t minutes = day.offsets.empty() ? 0 : day.offsets.front().minutes;
    for (const LocalOffset& offset : day.offsets) {
        if (offset.fromMs > ms) {
            break;
        }
        minutes = offset.minutes;
    }
    return minutes;
}

AxisRange recordedHours(const Day& day, std::int64_t firstMs, std::int64_t lastMs) {
    const auto offsetMs = [&](std::int64_t ms) { return std::int64_t{offsetOn(day, ms)} * 60'000; };
    // Each end rounded on the clock that holds there; the end by the clock just before
    // it, so that an end on a clock change is the change itself.
    const std::int64_t startOffset = offsetMs(firstMs);
    std::int64_t from = logformat::floorDiv(firstMs + startOffset, hourMs) * hourMs - startOffset;
    const std::int64_t endOffset = offsetMs(lastMs - 1);
    std::int64_t to = -logformat::floorDiv(-(lastMs + endOffset), hourMs) * hourMs - endOffset;
    from = std::clamp(from, day.spanStartMs, day.midnightAfterMs);
    to = std::clamp(to, day.spanStartMs, day.midnightAfterMs);
    if (to - from < hourMs) {
        // A moment, or the day's last minutes: an hour, where the day has one.
        to = std::min(from + hourMs, day.midnightAfterMs);
        from = std::max(to - hourMs, day.spanStartMs);
    }
    return {from, to};
}

std::optional<AxisRange> recordedPart(const Day& day) {
    if (day.pieces.empty()) {
        return std::nullopt;
    }
    std::int64_t first = day.pieces.front().fromMs;
    std::int64_t last = day.pieces.front().toMs;
    for (const Piece& piece : day.pieces) {
        first = std::min(first, piece.fromMs);
        last = std::max(last, piece.toMs);
    }
    return AxisRange{first, last};
}

std::vector<HourTick> hourTicks(const Day& day, AxisRange range) {
    std::vector<HourTick> ticks;
    for (std::size_t i = 0; i < day.offsets.size(); ++i) {
        const std::int64_t offsetMs = std::int64_t{day.offsets[i].minutes} * 60'000;
        const std::int64_t from = std::max({day.offsets[i].fromMs, day.spanStartMs, range.fromMs});
        const std::int64_t to =
            std::min(i + 1 < day.offsets.size() ? day.offsets[i + 1].fromMs : day.midnightAfterMs,
                     range.toMs);
        // Each whole hour the local clock shows while this offset holds.
        const std::int64_t firstLocal = -logformat::floorDiv(-(from + offsetMs), hourMs) * hourMs;
        for (std::int64_t local = firstLocal; local - offsetMs < to; local += hourMs) {
            ticks.push_back({local - offsetMs, hourLabel(local)});
        }
    }
    if (range.toMs >= day.midnightAfterMs) {
        ticks.push_back({day.midnightAfterMs, "24"});
    } else {
        // The end by the clock that holds there, or, where that clock shows no whole
        // hour (a half-hour change), by the one that ran up to it.
        std::int64_t local = range.toMs + std::int64_t{offsetOn(day, range.toMs)} * 60'000;
        if (logformat::floorDiv(local, hourMs) * hourMs != local) {
            local = range.toMs + std::int64_t{offsetOn(day, range.toMs - 1)} * 60'000;
        }
        ticks.push_back({range.toMs, hourLabel(local)});
    }
    return ticks;
}

std::vector<HourTick> hourTicks(const Day& day) {
    return hourTicks(day, {day.spanStartMs, day.midnightAfterMs});
}

} // namespace report
