#include "activity_report/day_log.h"

#include "activity_report/log_reader.h"
#include "activity_report/summary_store.h"
#include "logformat/log_files.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace report {

using logformat::LogEvent;
using logformat::millisecondsPerDay;
using logformat::sameEvent;

std::int64_t localDayNumber(std::int64_t unixMs, std::int32_t offsetMinutes) {
    return logformat::floorDiv(unixMs + std::int64_t{offsetMinutes} * 60'000, millisecondsPerDay);
}

std::vector<Piece> splitIntoDays(LogEvent event, std::int64_t firstDay, std::int64_t lastDay) {
    std::vector<Piece> pieces;
    splitIntoDays(std::move(event), firstDay, lastDay, pieces);
    return pieces;
}

void splitIntoDays(LogEvent event, std::int64_t firstDay, std::int64_t lastDay,
                   std::vector<Piece>& pieces) {
    const logformat::Timestamp lastMoment{event.end.unixMs - 1, event.end.offsetMinutes};
    if (event.end.unixMs <= event.start.unixMs ||
        localDayNumber(lastMoment.unixMs, lastMoment.offsetMinutes) < firstDay) {
        return;
    }
    // The offsets the event carries say which day each moment of it falls on, whatever
    // the zone of the machine that reads the log.
    logformat::Timestamp from = event.start;
    // An event reaching in from long before: its part before the day ahead of the
    // selection is never looked at, however many days it spans.
    const std::int64_t skipTo =
        (firstDay - 1) * millisecondsPerDay - std::int64_t{from.offsetMinutes} * 60'000;
    if (from.unixMs < skipTo && skipTo < event.end.unixMs) {
        from.unixMs = skipTo;
    }
    for (;;) {
        const std::int64_t day = localDayNumber(from.unixMs, from.offsetMinutes);
        if (day > lastDay) {
            break;
        }
        const auto midnight = logformat::nextMidnight(from, event.end);
        const logformat::Timestamp to = midnight ? *midnight : event.end;
        const bool last = !midnight || localDayNumber(to.unixMs, to.offsetMinutes) > lastDay;
        if (day >= firstDay) {
            // Nearly every event lies on one day: the last piece takes the event itself.
            pieces.push_back(Piece{last ? std::move(event) : event,
                                   from.unixMs,
                                   to.unixMs,
                                   0,
                                   from.offsetMinutes,
                                   to.offsetMinutes,
                                   {}});
        }
        if (last) {
            break;
        }
        from = to;
    }
}

unsigned textFieldsFor(const ReportOptions& options) {
    namespace field = logformat::textField;
    unsigned keep = 0;
    switch (options.by) {
    case GroupBy::app:
        keep = field::app;
        break;
    case GroupBy::category:
        break;
    case GroupBy::doc:
        keep = field::doc;
        break;
    case GroupBy::folder:
        keep = field::url;
        break;
    case GroupBy::title:
        keep = field::title;
        break;
    case GroupBy::project:
        keep = options.ruleTextFields;
        break;
    }
    // The page's tooltips and top documents.
    if (options.htmlFile) {
        keep |= field::app | field::title | field::doc;
    }
    return keep;
}

namespace {

// EVENT's times, state and numbers, without its text.
LogEvent withoutText(const LogEvent& event) {
    LogEvent slim;
    slim.start = event.start;
    slim.end = event.end;
    slim.state = event.state;
    slim.pid = event.pid;
    slim.category = event.category;
    return slim;
}

std::int64_t pieceDay(const Piece& piece) {
    return localDayNumber(piece.fromMs, piece.fromOffset);
}

// The moment in [FROM_MS, TO_MS) where the rule's offset first differs from its offset
// at FROM_MS; offsets change on whole seconds at least.
std::int64_t changeWithin(std::int64_t fromMs, std::int64_t toMs, const Clock& clock) {
    const std::int32_t before = clock.offsetAt(fromMs);
    while (toMs - fromMs > 1) {
        const std::int64_t middle = fromMs + (toMs - fromMs) / 2;
        (clock.offsetAt(middle) == before ? fromMs : toMs) = middle;
    }
    return toMs;
}

// When the clock changed inside PIECE, which the log can't say: most zones change at
// 02:00 by the clock before the change, else say the first whole hour inside it.
std::int64_t guessedChange(const Piece& piece) {
    constexpr std::int64_t hourMs = 3'600'000;
    const std::int64_t offsetMs = std::int64_t{piece.fromOffset} * 60'000;
    const std::int64_t local = piece.fromMs + offsetMs;
    const std::int64_t twoOClock =
        logformat::floorDiv(local, millisecondsPerDay) * millisecondsPerDay + 2 * hourMs - offsetMs;
    if (twoOClock > piece.fromMs && twoOClock < piece.toMs) {
        return twoOClock;
    }
    const std::int64_t nextHour = logformat::floorDiv(local, hourMs) * hourMs + hourMs - offsetMs;
    return std::min(nextHour, piece.toMs);
}

// How the day's clock reads, for the page's hours. By the system's rule when the day is
// in the system's zone; else from the log's own offsets.
void setOffsets(Day& day, const Clock& clock, bool systemZone) {
    const std::int64_t start = day.spanStartMs, end = day.midnightAfterMs;
    if (systemZone) {
        day.offsets = {{start, clock.offsetAt(start)}};
        if (end > start && clock.offsetAt(end - 1) != day.offsets.back().minutes) {
            const std::int64_t change = changeWithin(start, end - 1, clock);
            day.offsets.push_back({change, clock.offsetAt(change)});
        }
        return;
    }
    const auto change = [&](std::int64_t at, std::int32_t minutes) {
        if (day.offsets.empty() || day.offsets.back().minutes != minutes) {
            day.offsets.push_back({std::max(at, start), minutes});
        }
    };
    if (day.pieces.empty()) {
        day.offsets = {{start, clock.offsetAt(start)}};
        return;
    }
    // Machines in other zones have clocks of their own: the first one's is the day's.
    for (const Piece& piece : day.pieces) {
        if (piece.source != day.pieces.front().source) {
            continue;
        }
        change(piece.fromMs, piece.fromOffset);
        if (piece.toOffset != piece.fromOffset) {
            change(guessedChange(piece), piece.toOffset);
        }
    }
}

// The day's span, midnight to midnight. The midnights come from the system's zone when
// the day's events agree with it; a log written in another zone (another machine, a
// journey) gets its own, by the offsets at its first and last moments.
void setSpan(Day& day, const Clock& clock) {
    const std::int64_t number = logformat::daysFromCivil(day.date);
    std::int64_t start = logformat::localMidnight(day.date, clock.offsetAt);
    std::int64_t end =
        logformat::localMidnight(logformat::civilFromDays(number + 1), clock.offsetAt);
    // The day's first moment and its last, with their offsets, from the pieces read and
    // the summaries taken.
    std::optional<logformat::Timestamp> first, last;
    const auto extend = [&](const logformat::Timestamp& from, const logformat::Timestamp& to) {
        if (!first || from.unixMs < first->unixMs) {
            first = from;
        }
        if (!last || to.unixMs > last->unixMs) {
            last = to;
        }
    };
    for (const Piece& piece : day.pieces) {
        extend({piece.fromMs, piece.fromOffset}, {piece.toMs, piece.toOffset});
    }
    for (const DaySummary& summary : day.summaries) {
        if (summary.first && summary.last) {
            extend(*summary.first, *summary.last);
        }
    }
    bool systemZone = true;
    if (first && clock.offsetAt(first->unixMs) != first->offsetMinutes) {
        start = number * millisecondsPerDay - std::int64_t{first->offsetMinutes} * 60'000;
        systemZone = false;
    }
    if (last && clock.offsetAt(last->unixMs) != last->offsetMinutes) {
        end = (number + 1) * millisecondsPerDay - std::int64_t{last->offsetMinutes} * 60'000;
        systemZone = false;
    }
    day.spanStartMs = start;
    day.midnightAfterMs = std::max(start, end);
    day.spanEndMs = std::max(start, std::min(end, clock.nowMs));
    setOffsets(day, clock, systemZone);
}

} // namespace

void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                const std::function<void(Day&)>& onDay) {
    forEachDay(options, clock, counts, nullptr, onDay);
}

void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                ProjectClassifier* projects, const std::function<void(Day&)>& onDay) {
    const std::int64_t firstDay = logformat::daysFromCivil(options.first);
    const std::int64_t lastDay = logformat::daysFromCivil(options.last);
    const unsigned keep = textFieldsFor(options);
    // Classified as read, the pieces need the text only for the page: the reused
    // event's strings then keep their storage from line to line.
    const bool leaveText = projects != nullptr && !options.htmlFile;
    std::map<std::int64_t, std::vector<Piece>> pending;
    std::int64_t handedOnThrough = firstDay - 1;
    std::string buffer;
    // The bucket of the day the last piece went to: the next one nearly always goes there.
    std::int64_t lastBucketDay = 0;
    std::vector<Piece>* lastBucket = nullptr;
    // A day's storage, handed on to the next: a year read doesn't fault in fresh memory
    // for every day.
    std::vector<Piece> spare;

    std::vector<Piece> pieces;
    const auto bucketOf = [&](std::int64_t day) -> std::vector<Piece>& {
        if (lastBucket == nullptr || lastBucketDay != day) {
            const auto [bucket, added] = pending.try_emplace(day);
            if (added) {
                bucket->second = std::move(spare);
                spare = {};
            }
            lastBucket = &bucket->second;
            lastBucketDay = day;
        }
        return *lastBucket;
    };
    const auto placeAs = [&](LogEvent& event, std::size_t source, std::string_view project) {
        // Nearly every event lies whole on a selected day: it goes there in one move.
        const std::int64_t startDay = localDayNumber(event.start.unixMs, event.start.offsetMinutes);
        if (startDay > handedOnThrough && startDay <= lastDay &&
            event.end.unixMs > event.start.unixMs &&
            !logformat::nextMidnight(event.start, event.end)) {
            const std::int64_t from = event.start.unixMs, to = event.end.unixMs;
            const std::int32_t fromOffset = event.start.offsetMinutes;
            const std::int32_t toOffset = event.end.offsetMinutes;
            auto& bucket = bucketOf(startDay);
            if (leaveText) {
                bucket.push_back(
                    Piece{withoutText(event), from, to, source, fromOffset, toOffset, project});
            } else {
                bucket.push_back(
                    Piece{std::move(event), from, to, source, fromOffset, toOffset, project});
            }
            return;
        }
        pieces.clear();
        splitIntoDays(leaveText ? withoutText(event) : std::move(event), firstDay, lastDay, pieces);
        for (Piece& piece : pieces) {
            piece.source = source;
            piece.project = project;
            const std::int64_t day = pieceDay(piece);
            if (day <= handedOnThrough) {
                ++counts.misplacedEvents;
            } else {
                bucketOf(day).push_back(std::move(piece));
            }
        }
    };
    const auto projectOf = [&](const LogEvent& event) {
        return projects != nullptr && event.state == logformat::ActivityState::active
                   ? projects->projectOf(event)
                   : std::string_view{};
    };
    const auto place = [&](LogEvent& event, std::size_t source) {
        placeAs(event, source, projectOf(event));
    };
    // A day file's events are classified some events after they are read, so that the
    // cache's memory is fetched meanwhile; each file's last ones when it ends.
    struct Waiting {
        LogEvent event;
        ProjectClassifier::Ahead ahead;
        std::size_t source = 0;
    };
    constexpr std::size_t lookahead = 16;
    std::vector<Waiting> waiting(projects != nullptr ? lookahead : 0);
    std::size_t waitingFrom = 0, waitingCount = 0;
    const auto placeOldest = [&] {
        Waiting& oldest = waiting[waitingFrom];
        placeAs(oldest.event, oldest.source,
                oldest.event.state == logformat::ActivityState::active
                    ? projects->projectOf(oldest.event, oldest.ahead)
                    : std::string_view{});
        waitingFrom = (waitingFrom + 1) % lookahead;
        --waitingCount;
    };
    const auto placeSoon = [&](LogEvent& event, std::size_t source) {
        if (projects == nullptr) {
            place(event, source);
            return;
        }
        if (waitingCount == lookahead) {
            placeOldest();
        }
        Waiting& slot = waiting[(waitingFrom + waitingCount) % lookahead];
        // The reader fills every field of its event anew: it can have this slot's
        // storage in exchange.
        std::swap(slot.event, event);
        slot.source = source;
        if (slot.event.state == logformat::ActivityState::active) {
            projects->prepare(slot.event, slot.ahead);
        }
        ++waitingCount;
        if (waitingCount > lookahead / 2) {
            const Waiting& half =
                waiting[(waitingFrom + waitingCount - 1 - lookahead / 2) % lookahead];
            if (half.event.state == logformat::ActivityState::active) {
                projects->warm(half.ahead);
            }
        }
    };
    const auto placeWaiting = [&] {
        while (waitingCount > 0) {
            placeOldest();
        }
    };
    const auto fileOf = [&](std::size_t source, std::int64_t day) {
        return options.directories[source] / logformat::dayFileName(logformat::civilFromDays(day));
    };

    // current.json's events (the open one, and any the collector couldn't write yet)
    // count unless the collector has appended them already; each day file is read once.
    // Their days are still being written: they are read from the log.
    std::vector<std::set<std::int64_t>> currentDays(options.directories.size());
    for (std::size_t source = 0; source < options.directories.size(); ++source) {
        std::vector<LogEvent> current =
            readCurrentEvents(options.directories[source], counts.skippedLines);
        std::map<std::int64_t, std::vector<LogEvent*>> byDay;
        for (LogEvent& event : current) {
            const std::int64_t day = localDayNumber(event.start.unixMs, event.start.offsetMinutes);
            byDay[day].push_back(&event);
            currentDays[source].insert(day);
            currentDays[source].insert(
                localDayNumber(event.end.unixMs - 1, event.end.offsetMinutes));
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
                localDayNumber(event.end.unixMs - 1, event.end.offsetMinutes) >= firstDay;
            place(event, source);
            return reachesIn;
        });
    }

    std::vector<SummaryStore> stores;
    for (const auto& directory : options.directories) {
        stores.push_back({directory, options.cacheDirectory});
    }
    const std::int64_t today = localDayNumber(clock.nowMs, clock.offsetAt(clock.nowMs));
    std::vector<DaySummary> summaries;
    for (std::int64_t file = firstDay; file <= lastDay; ++file) {
        const logformat::CivilDate date = logformat::civilFromDays(file);
        summaries.clear();
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            const std::filesystem::path path = fileOf(source, file);
            // Closed days only; the page draws every event, so it reads them all. A
            // project grouping's summary holds for the rules it was made under, and a
            // day a tag lies on is read.
            const bool projectDay = options.by == GroupBy::project;
            const bool closed =
                options.useSummaries && !options.htmlFile && file < today &&
                !currentDays[source].contains(file) &&
                (!projectDay || (projects != nullptr && !options.taggedDays.contains(file)));
            const std::optional<SourceStamp> stamp =
                closed ? stampOf(path) : std::optional<SourceStamp>();
            if (!stamp) {
                readDayFile(
                    path, counts.skippedLines, [&](LogEvent& event) { placeSoon(event, source); },
                    buffer, keep);
                placeWaiting();
                continue;
            }
            // A summary holds a file whose events all lie on its day: the selection's
            // first and last days too, whatever reaches them from the days beyond.
            if (auto summary =
                    loadSummary(stores[source], date, options.by, *stamp, options.rulesDigest)) {
                counts.skippedLines += summary->skippedLines;
                summaries.push_back(std::move(*summary));
                continue;
            }
            // Read whole, and summarised on the way.
            SummaryBuilder builder(file, projects != nullptr ? options.rulesDigest : std::string());
            const std::uint64_t skippedBefore = counts.skippedLines;
            readDayFile(
                path, counts.skippedLines,
                [&](LogEvent& event) {
                    const std::string_view project = projectOf(event);
                    builder.add(event, project);
                    placeAs(event, source, project);
                },
                buffer, logformat::textField::all);
            if (builder.selfContained()) {
                saveSummary(stores[source], date,
                            builder.finish(*stamp, counts.skippedLines - skippedBefore));
                counts.summariesUnwritable |= stores[source].writeFailed;
            }
        }
        Day day;
        day.date = date;
        day.summaries = std::move(summaries);
        summaries = {};
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
        if (day.pieces.capacity() > spare.capacity()) {
            day.pieces.clear();
            spare = std::move(day.pieces);
        }
    }
}

} // namespace report
