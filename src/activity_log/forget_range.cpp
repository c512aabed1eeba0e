#include "activity_log/forget_range.h"

namespace activity_log {
namespace {

using logformat::LogEvent;

bool atLocalMidnight(const logformat::Timestamp& moment) {
    const std::int64_t local = moment.unixMs + std::int64_t{moment.offsetMinutes} * 60'000;
    return local - logformat::floorDiv(local, logformat::millisecondsPerDay) *
                       logformat::millisecondsPerDay ==
           0;
}

// The collector's test for one window's samples making one event.
bool sameActivity(const LogEvent& a, const LogEvent& b) {
    return a.state == b.state && a.title == b.title && a.pid == b.pid && a.exePath == b.exePath;
}

bool continues(const LogEvent& event, const Carry& carry) {
    const bool touches = carry.forward ? event.start.unixMs == carry.piece.end.unixMs
                                       : event.end.unixMs == carry.piece.start.unixMs;
    return touches && sameActivity(event, carry.piece);
}

} // namespace

bool overlaps(const LogEvent& event, const TimeRange& range) {
    return event.start.unixMs < range.toMs && event.end.unixMs > range.fromMs;
}

bool holdsText(const LogEvent& event) {
    if (event.state == logformat::ActivityState::none ||
        event.state == logformat::ActivityState::unavailable) {
        return false;
    }
    return !(event.title.empty() || event.title == logformat::excludedTitle) ||
           !event.curatedTitle.empty() || !event.doc.empty() || !event.url.empty();
}

void forgetText(LogEvent& event) {
    event.title = logformat::excludedTitle;
    event.curatedTitle.clear();
    event.doc.clear();
    event.url.clear();
}

logformat::CivilDate dayOf(const Carry& carry) {
    if (carry.forward) {
        return logformat::localDate(carry.piece.end);
    }
    logformat::Timestamp before = carry.piece.start;
    before.unixMs -= 1;
    return logformat::localDate(before);
}

std::size_t forgetAmong(const std::vector<LogEvent*>& events, const TimeRange& range,
                        const std::vector<Carry>& carries, std::vector<Carry>& more) {
    std::size_t forgotten = 0;
    for (LogEvent* event : events) {
        if (!holdsText(*event)) {
            continue;
        }
        bool reached = overlaps(*event, range);
        for (const Carry& carry : carries) {
            reached = reached || continues(*event, carry);
        }
        if (!reached) {
            continue;
        }
        if (atLocalMidnight(event->end)) {
            more.push_back({*event, true});
        }
        if (atLocalMidnight(event->start)) {
            more.push_back({*event, false});
        }
        forgetText(*event);
        ++forgotten;
    }
    return forgotten;
}

} // namespace activity_log
