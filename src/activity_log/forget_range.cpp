#include "activity_log/forget_range.h"

#include <charconv>

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

std::optional<std::int64_t> parseDuration(std::string_view text) {
    if (text.size() < 2) {
        return std::nullopt;
    }
    double unitMs = 0;
    switch (text.back()) {
    case 's':
        unitMs = 1000;
        break;
    case 'm':
        unitMs = 60'000;
        break;
    case 'h':
        unitMs = 3'600'000;
        break;
    default:
        return std::nullopt;
    }
    text.remove_suffix(1);
    // Digits, and at most one point between digits: no sign, exponent or "inf".
    std::size_t points = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.') {
            if (++points > 1 || i == 0 || i + 1 == text.size()) {
                return std::nullopt;
            }
        } else if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    const double ms = value * unitMs;
    constexpr double tenYearsMs = 10 * 366 * 86'400'000.0;
    if (!(ms >= 1) || ms > tenYearsMs) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(ms + 0.5);
}

} // namespace activity_log
