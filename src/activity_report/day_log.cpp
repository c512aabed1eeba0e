#include "activity_report/day_log.h"

#include "activity_report/log_reader.h"
#include "logformat/log_files.h"

#include <algorithm>
#include <map>

namespace report {

using logformat::LogEvent;
using logformat::millisecondsPerDay;
using logformat::sameEvent;

std::int64_t localDayNumber(std::int64_t unixMs, std::int32_t offsetMinutes) {
    return logformat::floorDiv(unixMs + std::int64_t{offsetMinutes} * 60'000, millisecondsPerDay);
}

std::vector<Piece> splitIntoDays(LogEvent event, std::int64_t firstDay, std::int64_t lastDay) {
    std::vector<Piece> pieces;
    if (event.end.unixMs <= event.start.unixMs) {
        return pieces;
    }
    // The event's own offset says which day a moment of it falls on, whatever the zone
    // of the machine that reads the log.
    const std::int32_t offset = event.start.offsetMinutes;
    const std::int64_t offsetMs = std::int64_t{offset} * 60'000;
    const std::int64_t startDay = localDayNumber(event.start.unixMs, offset);
    const std::int64_t endDay = localDayNumber(event.end.unixMs - 1, offset);
    const std::int64_t from = std::max(startDay, firstDay), to = std::min(endDay, lastDay);
    for (std::int64_t day = from; day <= to; ++day) {
        const std::int64_t midnight = day * millisecondsPerDay - offsetMs;
        const std::int64_t start = std::max(event.start.unixMs, midnight);
        const std::int64_t end = std::min(event.end.unixMs, midnight + millisecondsPerDay);
        // Nearly every event lies on one day: the last piece takes the event itself.
        pieces.push_back(Piece{day == to ? std::move(event) : event, start, end, 0});
    }
    return pieces;
}

namespace {

std::int64_t pieceDay(const Piece& piece) {
    return localDayNumber(piece.fromMs, piece.event.start.offsetMinutes);
}

// The day's span. Midnights come from the system's zone when the day's events agree with
// it; a log written in another zone (another machine, a journey) gets its own midnights.
void setSpan(Day& day, const Clock& clock) {
    const std::int64_t number = logformat::daysFromCivil(day.date);
    std::int64_t start = logformat::localMidnight(day.date, clock.offsetAt);
    std::int64_t end =
        logformat::localMidnight(logformat::civilFromDays(number + 1), clock.offsetAt);
    if (!day.pieces.empty()) {
        const Piece& first = day.pieces.front();
        const auto last =
            std::max_element(day.pieces.begin(), day.pieces.end(),
                             [](const Piece& a, const Piece& b) { return a.toMs < b.toMs; });
        const std::int32_t firstOffset = first.event.start.offsetMinutes;
        const std::int32_t lastOffset = last->event.start.offsetMinutes;
        if (clock.offsetAt(first.fromMs) != firstOffset) {
            start = number * millisecondsPerDay - std::int64_t{firstOffset} * 60'000;
        }
        if (clock.offsetAt(last->toMs - 1) != lastOffset) {
            end = (number + 1) * millisecondsPerDay - std::int64_t{lastOffset} * 60'000;
        }
    }
    day.spanStartMs = start;
    day.midnightAfterMs = std::max(start, end);
    day.spanEndMs = std::max(start, std::min(end, clock.nowMs));
}

} // namespace

void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                const std::function<void(Day&)>& onDay) {
    const std::int64_t firstDay = logformat::daysFromCivil(options.first);
    const std::int64_t lastDay = logformat::daysFromCivil(options.last);
    std::map<std::int64_t, std::vector<Piece>> pending;
    std::int64_t handedOnThrough = firstDay - 1;
    std::string buffer;
    // The bucket of the day the last piece went to: the next one nearly always goes there.
    std::int64_t lastBucketDay = 0;
    std::vector<Piece>* lastBucket = nullptr;

    const auto place = [&](LogEvent& event, std::size_t source) {
        for (Piece& piece : splitIntoDays(std::move(event), firstDay, lastDay)) {
            piece.source = source;
            const std::int64_t day = pieceDay(piece);
            if (day <= handedOnThrough) {
                ++counts.misplacedEvents;
            } else {
                if (lastBucket == nullptr || lastBucketDay != day) {
                    lastBucket = &pending[day];
                    lastBucketDay = day;
                }
                lastBucket->push_back(std::move(piece));
            }
        }
    };
    const auto fileOf = [&](std::size_t source, std::int64_t day) {
        return options.directories[source] / logformat::dayFileName(logformat::civilFromDays(day));
    };

    // current.json's events (the open one, and any the collector couldn't write yet)
    // count unless the collector has appended them already; each day file is read once.
    for (std::size_t source = 0; source < options.directories.size(); ++source) {
        std::vector<LogEvent> current =
            readCurrentEvents(options.directories[source], counts.skippedLines);
        std::map<std::int64_t, std::vector<LogEvent*>> byDay;
        for (LogEvent& event : current) {
            byDay[localDayNumber(event.start.unixMs, event.start.offsetMinutes)].push_back(&event);
        }
        for (auto& [day, events] : byDay) {
            std::uint64_t ignored = 0;
            readDayFile(fileOf(source, day), ignored, [&](const LogEvent& appended) {
                std::erase_if(events,
                              [&](const LogEvent* event) { return sameEvent(*event, appended); });
            });
            for (LogEvent* event : events) {
                place(*event, source);
            }
        }
    }

    // The day before the selection, for an event that runs past its midnight: the
    // collector appends in order, so only its last events can.
    for (std::size_t source = 0; source < options.directories.size(); ++source) {
        readDayFileBackwards(fileOf(source, firstDay - 1), [&](LogEvent& event) {
            const bool reachesIn =
                localDayNumber(event.end.unixMs - 1, event.start.offsetMinutes) >= firstDay;
            place(event, source);
            return reachesIn;
        });
    }

    for (std::int64_t file = firstDay; file <= lastDay; ++file) {
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            readDayFile(
                fileOf(source, file), counts.skippedLines,
                [&](LogEvent& event) { place(event, source); }, buffer);
        }
        Day day;
        day.date = logformat::civilFromDays(file);
        if (const auto found = pending.find(file); found != pending.end()) {
            day.pieces = std::move(found->second);
            pending.erase(found);
            lastBucket = nullptr;
        }
        const auto byStart = [](const Piece& a, const Piece& b) { return a.fromMs < b.fromMs; };
        // One folder's day is in order already; several folders' are interleaved.
        if (!std::is_sorted(day.pieces.begin(), day.pieces.end(), byStart)) {
            std::stable_sort(day.pieces.begin(), day.pieces.end(), byStart);
        }
        setSpan(day, clock);
        handedOnThrough = file;
        onDay(day);
    }
}

} // namespace report
