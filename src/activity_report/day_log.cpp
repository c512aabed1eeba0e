#include "activity_report/day_log.h"

#include "activity_report/log_reader.h"
#include "activity_report/summary_store.h"
#include "logformat/log_files.h"

#include <algorithm>
#include <limits>
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
    // What tells the user's programs apart.
    if (!options.apps.empty()) {
        keep |= field::app | field::exePath;
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

// An event that runs on past the midnight after the one it crosses: the collector never
// writes one, and a report of a later day alone could not find it, so it counts as no
// event wherever it is read.
bool reachesPastNextDay(const LogEvent& event) {
    return localDayNumber(event.end.unixMs - 1, event.end.offsetMinutes) >
           localDayNumber(event.start.unixMs, event.start.offsetMinutes) + 1;
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

// A day's first recorded moment and its last, with their offsets, from the pieces read
// and the summaries taken; none for a day with nothing recorded.
struct Extent {
    std::optional<logformat::Timestamp> first, last;
};

Extent extentOf(const Day& day) {
    Extent extent;
    const auto extend = [&](const logformat::Timestamp& from, const logformat::Timestamp& to) {
        if (!extent.first || from.unixMs < extent.first->unixMs) {
            extent.first = from;
        }
        if (!extent.last || to.unixMs > extent.last->unixMs) {
            extent.last = to;
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
    return extent;
}

// The midnight at the start of DATE by the clock of a moment near it: the system's own
// midnight when that moment's offset agrees with the system's zone (which also settles a
// clock change between midnight and the moment), else midnight at the moment's offset.
std::int64_t midnightBy(const logformat::CivilDate& date, const logformat::Timestamp& near,
                        const Clock& clock) {
    if (clock.offsetAt(near.unixMs) == near.offsetMinutes) {
        return logformat::localMidnight(date, clock.offsetAt);
    }
    return logformat::daysFromCivil(date) * millisecondsPerDay -
           std::int64_t{near.offsetMinutes} * 60'000;
}

// Where DATE begins and the day before it ends: one moment, so that a selection's days
// tile time, none in two days and none in none. By the clock of the day's own first
// moment, else of the day before's last one (a day with nothing recorded after a
// journey), else the system's. Never inside the day before's last event nor after the
// day's first one, and never before the previous day's start.
std::int64_t dayBoundary(const logformat::CivilDate& date, const Extent& before,
                         const Extent& after, std::int64_t previousBoundary, const Clock& clock) {
    std::int64_t boundary = after.first   ? midnightBy(date, *after.first, clock)
                            : before.last ? midnightBy(date, *before.last, clock)
                                          : logformat::localMidnight(date, clock.offsetAt);
    if (before.last) {
        boundary = std::max(boundary, before.last->unixMs);
    }
    if (after.first) {
        boundary = std::min(boundary, after.first->unixMs);
    }
    return std::max(boundary, previousBoundary);
}

// Whether the day's clock is the system's: its first and last moments agree with it.
bool inSystemZone(const Extent& extent, const Clock& clock) {
    const auto agrees = [&](const std::optional<logformat::Timestamp>& moment) {
        return !moment || clock.offsetAt(moment->unixMs) == moment->offsetMinutes;
    };
    return agrees(extent.first) && agrees(extent.last);
}

void setSpan(Day& day, std::int64_t startMs, std::int64_t endMs, const Clock& clock) {
    day.spanStartMs = day.midnightBeforeMs = startMs;
    day.midnightAfterMs = std::max(startMs, endMs);
    day.spanEndMs = std::max(startMs, std::min(endMs, clock.nowMs));
    setOffsets(day, clock, inSystemZone(extentOf(day), clock));
}

// The day's span and pieces cut at the selection's moments, when it has them: each
// moment of the cut days is in the report once, or not at all.
void cut(Day& day, const ReportOptions& options, const Clock& clock) {
    if (!options.cutFromMs && !options.cutToMs) {
        return;
    }
    const std::int64_t from =
        std::max(day.spanStartMs, options.cutFromMs.value_or(day.spanStartMs));
    const std::int64_t to =
        std::max(from, std::min(day.spanEndMs, options.cutToMs.value_or(day.spanEndMs)));
    day.spanStartMs = from;
    day.spanEndMs = to;
    std::erase_if(day.pieces,
                  [&](const Piece& piece) { return piece.toMs <= from || piece.fromMs >= to; });
    for (Piece& piece : day.pieces) {
        // A piece across a change of the clock takes the offset of the side it is cut on.
        if (piece.fromMs < from) {
            piece.fromMs = from;
            if (clock.offsetAt(from) == piece.toOffset) {
                piece.fromOffset = piece.toOffset;
            }
        }
        if (piece.toMs > to) {
            piece.toMs = to;
            if (clock.offsetAt(to) == piece.fromOffset) {
                piece.toOffset = piece.fromOffset;
            }
        }
    }
}

// Events placed on their days as they are read: each day's pieces wait in a bucket
// until the day is taken. A day taken is closed: a piece for it found later lies in a
// file after its own and is counted as misplaced.
struct DayBuckets {
    std::int64_t firstDay = 0;
    std::int64_t lastDay = 0; // the day after the selection, kept for its first moment
    std::int64_t takenThrough = 0;
    bool leaveText = false;
    ReadCounts* counts = nullptr;
    std::map<std::int64_t, std::vector<Piece>> pending;
    // The bucket of the day the last piece went to: the next one nearly always goes there.
    std::int64_t lastBucketDay = 0;
    std::vector<Piece>* lastBucket = nullptr;
    // A day's storage, handed on to the next: a year read doesn't fault in fresh memory
    // for every day.
    std::vector<Piece> spare;
    std::vector<Piece> split;

    std::vector<Piece>& bucketOf(std::int64_t day) {
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
    }

    void place(LogEvent& event, std::size_t source, std::string_view project) {
        // Nearly every event lies whole on a selected day: it goes there in one move.
        const std::int64_t startDay = localDayNumber(event.start.unixMs, event.start.offsetMinutes);
        if (startDay > takenThrough && startDay <= lastDay &&
            event.end.unixMs > event.start.unixMs &&
            !logformat::nextMidnight(event.start, event.end)) {
            const std::int64_t from = event.start.unixMs, to = event.end.unixMs;
            const std::int32_t fromOffset = event.start.offsetMinutes;
            const std::int32_t toOffset = event.end.offsetMinutes;
            bucketOf(startDay).push_back(Piece{leaveText ? withoutText(event) : std::move(event),
                                               from, to, source, fromOffset, toOffset, project});
            return;
        }
        if (reachesPastNextDay(event)) {
            ++counts->overlongEvents;
            return;
        }
        split.clear();
        splitIntoDays(leaveText ? withoutText(event) : std::move(event), firstDay, lastDay, split);
        for (Piece& piece : split) {
            piece.source = source;
            piece.project = project;
            const std::int64_t day = pieceDay(piece);
            if (day <= takenThrough) {
                ++counts->misplacedEvents;
            } else {
                bucketOf(day).push_back(std::move(piece));
            }
        }
    }

    // The day's pieces, in order of their start; the day is closed from now on.
    std::vector<Piece> take(std::int64_t day) {
        std::vector<Piece> pieces;
        if (const auto found = pending.find(day); found != pending.end()) {
            pieces = std::move(found->second);
            pending.erase(found);
            lastBucket = nullptr;
        }
        takenThrough = day;
        const auto byStart = [](const Piece& a, const Piece& b) { return a.fromMs < b.fromMs; };
        // One folder's day is in order already; several folders' are interleaved.
        if (!std::is_sorted(pieces.begin(), pieces.end(), byStart)) {
            std::stable_sort(pieces.begin(), pieces.end(), byStart);
        }
        return pieces;
    }

    // A day's storage back, once it has been handed on.
    void giveBack(std::vector<Piece>& pieces) {
        if (pieces.capacity() > spare.capacity()) {
            pieces.clear();
            spare = std::move(pieces);
        }
    }
};

// One walk through the selected days, in order.
struct LogWalk {
    const ReportOptions& options;
    const Clock& clock;
    ReadCounts& counts;
    ProjectClassifier* projects;
    DayBuckets buckets;
    std::vector<SummaryStore> stores;
    // The days that current.json's events touch, per folder: still being written.
    std::vector<std::set<std::int64_t>> currentDays;
    std::int64_t today = 0;
    std::int64_t cutFirstDay = 0, cutLastDay = 0; // the selection's first and last
    unsigned keep = 0;
    std::string buffer;

    std::filesystem::path fileOf(std::size_t source, std::int64_t day) const {
        return options.directories[source] / logformat::dayFileName(logformat::civilFromDays(day));
    }

    std::string_view projectOf(const LogEvent& event) const {
        return projects != nullptr && event.state == logformat::ActivityState::active
                   ? projects->projectOf(event)
                   : std::string_view{};
    }

    void place(LogEvent& event, std::size_t source) {
        applyAppNames(options.apps, event);
        buckets.place(event, source, projectOf(event));
    }

    // current.json's events (the open one, and any the collector couldn't write yet)
    // count unless the collector has appended them already; each day file is read once.
    void placeCurrentEvents() {
        currentDays.resize(options.directories.size());
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            std::vector<LogEvent> current =
                readCurrentEvents(options.directories[source], counts.skippedLines);
            std::map<std::int64_t, std::vector<LogEvent*>> byDay;
            for (LogEvent& event : current) {
                const std::int64_t day =
                    localDayNumber(event.start.unixMs, event.start.offsetMinutes);
                byDay[day].push_back(&event);
                currentDays[source].insert(day);
                currentDays[source].insert(
                    localDayNumber(event.end.unixMs - 1, event.end.offsetMinutes));
            }
            for (auto& [day, events] : byDay) {
                std::uint64_t ignored = 0;
                readDayFile(fileOf(source, day), ignored, [&](const LogEvent& appended) {
                    std::erase_if(
                        events, [&](const LogEvent* event) { return sameEvent(*event, appended); });
                });
                for (LogEvent* event : events) {
                    place(*event, source);
                }
            }
        }
    }

    // The day before the selection, for an event that runs past its midnight: the
    // collector appends in order, so only its last events can. Gives that day's last
    // moment, for the clock at the selection's first midnight: an event reaching it from
    // the day before is looked for too, as the day may have no file of its own.
    Extent readDayBefore(std::int64_t firstDay) {
        Extent before;
        const auto extend = [&](const LogEvent& event) {
            for (const Piece& piece : splitIntoDays(event, firstDay - 1, firstDay - 1)) {
                if (!before.last || piece.toMs > before.last->unixMs) {
                    before.last = logformat::Timestamp{piece.toMs, piece.toOffset};
                }
            }
        };
        const auto reaches = [](const LogEvent& event, std::int64_t day) {
            return localDayNumber(event.end.unixMs - 1, event.end.offsetMinutes) >= day;
        };
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            readDayFileBackwards(fileOf(source, firstDay - 2), [&](LogEvent& event) {
                if (reachesPastNextDay(event)) {
                    return true; // counted where its own day is read
                }
                extend(event);
                return reaches(event, firstDay - 1);
            });
            readDayFileBackwards(fileOf(source, firstDay - 1), [&](LogEvent& event) {
                if (reachesPastNextDay(event)) {
                    return true;
                }
                extend(event);
                const bool reachesIn = reaches(event, firstDay);
                place(event, source);
                return reachesIn;
            });
        }
        return before;
    }

    // Closed days only; the page draws every event, so it reads them all. A project
    // grouping's summary holds for the rules it was made under, and a day a tag lies on
    // is read.
    bool summarisable(std::size_t source, std::int64_t file) const {
        const bool projectDay = options.by == GroupBy::project;
        // A day cut at a moment takes only some of its events: a summary holds them all.
        const bool cutDay =
            (options.cutFromMs && file == cutFirstDay) || (options.cutToMs && file == cutLastDay);
        return options.useSummaries && !options.htmlFile && file < today && !cutDay &&
               !currentDays[source].contains(file) &&
               (!projectDay || (projects != nullptr && !options.taggedDays.contains(file)));
    }

    // A folder's file of a day still to be read: its events, summarised on the way when
    // STAMP says the file can be.
    struct FileToRead {
        std::size_t source = 0;
        std::optional<SourceStamp> stamp;
    };

    // A day whose files are not read yet: the summaries it takes, and the files it reads.
    struct OpenDay {
        std::int64_t number = 0;
        std::vector<DaySummary> summaries;
        std::vector<FileToRead> toRead;
    };

    OpenDay openDay(std::int64_t file) {
        OpenDay day{file, {}, {}};
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            const std::optional<SourceStamp> stamp = summarisable(source, file)
                                                         ? stampOf(fileOf(source, file))
                                                         : std::optional<SourceStamp>();
            // A summary holds a file whose events all lie on its day: the selection's
            // first and last days too, whatever reaches them from the days beyond.
            if (stamp) {
                if (auto summary = loadSummary(stores[source], logformat::civilFromDays(file),
                                               options.by, *stamp, options.rulesDigest)) {
                    counts.skippedLines += summary->skippedLines;
                    day.summaries.push_back(std::move(*summary));
                    continue;
                }
            }
            day.toRead.push_back({source, stamp});
        }
        return day;
    }

    // The day after the selection: only its first moment is wanted.
    OpenDay dayAfter(std::int64_t file) const {
        OpenDay day{file, {}, {}};
        for (std::size_t source = 0; source < options.directories.size(); ++source) {
            day.toRead.push_back({source, {}});
        }
        return day;
    }

    // An open day's first moment, as it begins: what reaches into it from the day before,
    // its summaries' first moments, and the first events of the files it will read (a
    // collector's file is in order). Each day is then handed on as soon as it is read,
    // with no more than its own events in memory.
    Extent beginningOf(const OpenDay& day) {
        Extent extent;
        const auto take = [&](const logformat::Timestamp& moment) {
            if (!extent.first || moment.unixMs < extent.first->unixMs) {
                extent.first = moment;
            }
        };
        if (const auto found = buckets.pending.find(day.number); found != buckets.pending.end()) {
            for (const Piece& piece : found->second) {
                take({piece.fromMs, piece.fromOffset});
            }
        }
        for (const DaySummary& summary : day.summaries) {
            if (summary.first) {
                take(*summary.first);
            }
        }
        for (const FileToRead& file : day.toRead) {
            if (const auto first = firstEventOf(fileOf(file.source, day.number))) {
                take(first->start);
            }
        }
        return extent;
    }

    void readFile(const FileToRead& file, std::int64_t day) {
        const std::filesystem::path path = fileOf(file.source, day);
        if (!file.stamp) {
            readDayFile(
                path, counts.skippedLines, [&](LogEvent& event) { place(event, file.source); },
                buffer, keep);
            return;
        }
        SummaryBuilder builder(day, projects != nullptr ? options.rulesDigest : std::string());
        const std::uint64_t skippedBefore = counts.skippedLines;
        readDayFile(
            path, counts.skippedLines,
            [&](LogEvent& event) {
                applyAppNames(options.apps, event);
                const std::string_view project = projectOf(event);
                builder.add(event, project);
                buckets.place(event, file.source, project);
            },
            buffer, logformat::textField::all);
        if (builder.selfContained()) {
            saveSummary(stores[file.source], logformat::civilFromDays(day),
                        builder.finish(*file.stamp, counts.skippedLines - skippedBefore));
            counts.summariesUnwritable |= stores[file.source].writeFailed;
        }
    }

    // The open day's files read, from every folder, with its span still to be set.
    Day readDay(OpenDay& open) {
        for (const FileToRead& file : open.toRead) {
            readFile(file, open.number);
        }
        Day day;
        day.date = logformat::civilFromDays(open.number);
        day.summaries = std::move(open.summaries);
        day.pieces = buckets.take(open.number);
        return day;
    }
};

} // namespace

void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                const std::function<void(Day&)>& onDay) {
    forEachDay(options, clock, counts, nullptr, onDay);
}

void forEachDay(const ReportOptions& options, const Clock& clock, ReadCounts& counts,
                ProjectClassifier* projects, const std::function<void(Day&)>& onDay) {
    const std::int64_t firstDay = logformat::daysFromCivil(options.first);
    const std::int64_t lastDay = logformat::daysFromCivil(options.last);
    LogWalk walk{
        options, clock, counts, projects, {}, {}, {}, 0, firstDay, lastDay, textFieldsFor(options),
        {}};
    walk.buckets.firstDay = firstDay;
    walk.buckets.lastDay = lastDay + 1;
    walk.buckets.takenThrough = firstDay - 1;
    walk.buckets.counts = &counts;
    // Classified as read, the pieces need the text only for the page: the reused
    // event's strings then keep their storage from line to line.
    walk.buckets.leaveText = projects != nullptr && !options.htmlFile;
    for (const auto& directory : options.directories) {
        walk.stores.push_back({directory, options.cacheDirectory});
    }
    walk.today = localDayNumber(clock.nowMs, clock.offsetAt(clock.nowMs));

    walk.placeCurrentEvents();
    const Extent before = walk.readDayBefore(firstDay);
    // Where one day ends and the next begins takes both days' clocks: the day's own last
    // moment and the next day's first.
    LogWalk::OpenDay open = walk.openDay(firstDay);
    std::int64_t start = dayBoundary(options.first, before, walk.beginningOf(open),
                                     std::numeric_limits<std::int64_t>::min(), clock);
    for (std::int64_t file = firstDay; file <= lastDay; ++file) {
        Day day = walk.readDay(open);
        open = file < lastDay ? walk.openDay(file + 1) : walk.dayAfter(file + 1);
        const std::int64_t end = dayBoundary(logformat::civilFromDays(file + 1), extentOf(day),
                                             walk.beginningOf(open), start, clock);
        setSpan(day, start, end, clock);
        cut(day, options, clock);
        onDay(day);
        walk.buckets.giveBack(day.pieces);
        start = end;
    }
}

} // namespace report
