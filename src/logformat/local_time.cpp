#include "logformat/local_time.h"

namespace logformat {

namespace {

constexpr std::int64_t minuteMs = 60'000;

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

std::string formatOffset(std::int32_t minutes) {
    std::string out(1, minutes < 0 ? '-' : '+');
    const int magnitude = minutes < 0 ? -minutes : minutes;
    appendTwoDigits(out, magnitude / 60);
    out += ':';
    appendTwoDigits(out, magnitude % 60);
    return out;
}

// Digits at TEXT[AT], exactly COUNT of them.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The clock's reading TEXT gives, as milliseconds since 1970 on a clock at UTC, and where
// what follows it (the offset) starts.
struct ClockReading {
    std::int64_t local = 0;
    std::size_t end = 0;
};

// One or two digits at TEXT[AT], moving AT past them.
std::optional<int> shortNumber(std::string_view text, std::size_t& at) {
    const auto two = digits(text, at, 2);
    const auto one = two ? two : digits(text, at, 1);
    if (one) {
        at += two ? 2 : 1;
    }
    return one;
}

// The date part: up to a space or a "T" before the time; none for a bare time, which is on
// DEFAULT_DAY.
std::optional<CivilDate> readDatePart(std::string_view text, std::size_t& at,
                                      const std::optional<CivilDate>& defaultDay) {
    const std::size_t colon = text.find(':');
    const std::size_t gap = text.find_first_of(" T");
    if (gap == std::string_view::npos || (colon != std::string_view::npos && colon < gap)) {
        at = 0;
        return defaultDay;
    }
    at = gap + 1;
    return parseLenientDate(text.substr(0, gap));
}

std::optional<ClockReading> readClock(std::string_view text,
                                      const std::optional<CivilDate>& defaultDay) {
    std::size_t at = 0;
    const auto date = readDatePart(text, at, defaultDay);
    const auto hour = shortNumber(text, at);
    if (!date || !hour || at >= text.size() || text[at] != ':') {
        return std::nullopt;
    }
    const auto minute = digits(text, at + 1, 2);
    if (!minute || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    at += 3;
    int second = 0, milli = 0;
    if (at < text.size() && text[at] == ':') {
        const auto s = digits(text, at + 1, 2);
        if (!s || *s > 59) {
            return std::nullopt;
        }
        second = *s;
        at += 3;
        if (at < text.size() && text[at] == '.') {
            std::size_t count = 0;
            int scale = 100;
            for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++count) {
                milli += (text[at] - '0') * scale;
                scale /= 10;
            }
            if (count == 0 || count > 3) {
                return std::nullopt;
            }
        }
    }
    return ClockReading{daysFromCivil(*date) * millisecondsPerDay +
                            std::int64_t{*hour} * 3'600'000 + std::int64_t{*minute} * minuteMs +
                            second * 1000 + milli,
                        at};
}

// "+01:00", "-05:30" or "Z" as minutes; nothing for anything else.
std::optional<std::int32_t> readOffset(std::string_view zone) {
    if (zone == "Z") {
        return 0;
    }
    const auto h = digits(zone, 1, 2), m = digits(zone, 4, 2);
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || !h || !m ||
        *m > 59) {
        return std::nullopt;
    }
    return (zone[0] == '-' ? -1 : 1) * (*h * 60 + *m);
}

// The first moment the clock reads LOCAL or later (see parseLocalTime). The offsets in
// force two days either side bracket any change of the clocks near it.
LocalTimeParse firstMomentReading(std::int64_t local, const OffsetAt& offsetAt) {
    LocalTimeParse result;
    const std::int64_t around = 2 * millisecondsPerDay;
    const std::int32_t before = offsetAt(local - around);
    const std::int32_t after = offsetAt(local + around);
    for (const std::int32_t offset : {before, offsetAt(local), after}) {
        const std::int64_t moment = local - std::int64_t{offset} * minuteMs;
        if (offsetAt(moment) == offset && (!result.moment || moment < result.moment->unixMs)) {
            result.moment = Timestamp{moment, offset};
        }
    }
    if (result.moment) {
        return result;
    }
    // Skipped: the clock read earlier than LOCAL before the jump and later after it.
    const auto readsEarlier = [&](std::int64_t moment) {
        return moment + std::int64_t{offsetAt(moment)} * minuteMs < local;
    };
    std::int64_t low = local - std::int64_t{after} * minuteMs;
    std::int64_t high = local - std::int64_t{before} * minuteMs;
    if (low >= high || !readsEarlier(low) || readsEarlier(high)) {
        result.problem = "the clocks of this time zone never read that time";
        return result;
    }
    while (high - low > 1) {
        const std::int64_t middle = low + (high - low) / 2;
        (readsEarlier(middle) ? low : high) = middle;
    }
    result.moment = Timestamp{high, offsetAt(high)};
    result.skipped = true;
    return result;
}

} // namespace

LocalTimeParse parseLocalTime(std::string_view text, const OffsetAt& offsetAt,
                              const std::optional<CivilDate>& defaultDay) {
    LocalTimeParse result;
    const auto clock = readClock(text, defaultDay);
    if (!clock) {
        result.problem =
            std::string("not a time of the form \"YYYY-MM-DD HH:MM\"") +
            (defaultDay ? " or \"HH:MM\"" : "") +
            " (seconds, and an offset such as +01:00, may follow): " + std::string(text);
        return result;
    }
    const std::string_view zone = text.substr(clock->end);
    if (zone.empty()) {
        result = firstMomentReading(clock->local, offsetAt);
        if (!result.moment) {
            result.problem = std::string(text) + ": " + result.problem;
        }
        return result;
    }
    // An offset picks the moment; it is kept at the machine's own offset, as the log does.
    const auto offset = readOffset(zone);
    if (!offset) {
        result.problem = "not an offset such as +01:00, -05:30 or Z: \"" + std::string(zone) +
                         "\" in " + std::string(text);
        return result;
    }
    if (*offset > maxOffsetMinutes || *offset < -maxOffsetMinutes) {
        result.problem = "no time zone is " + std::string(zone) +
                         " from UTC: offsets lie between -14:00 and +14:00, in " +
                         std::string(text);
        return result;
    }
    const std::int64_t moment = clock->local - std::int64_t{*offset} * minuteMs;
    result.moment = Timestamp{moment, offsetAt(moment)};
    return result;
}

std::string formatLocalTime(std::int64_t unixMs, const OffsetAt& offsetAt) {
    const std::int32_t offset = offsetAt(unixMs);
    const std::int64_t local = unixMs + std::int64_t{offset} * minuteMs;
    const std::int64_t day = floorDiv(local, millisecondsPerDay);
    const std::int64_t inDay = local - day * millisecondsPerDay;
    std::string out = formatDate(civilFromDays(day)) + " ";
    appendTwoDigits(out, static_cast<int>(inDay / 3'600'000));
    out += ':';
    appendTwoDigits(out, static_cast<int>(inDay / minuteMs % 60));
    const int second = static_cast<int>(inDay / 1000 % 60), milli = static_cast<int>(inDay % 1000);
    if (second != 0 || milli != 0) {
        out += ':';
        appendTwoDigits(out, second);
    }
    if (milli != 0) {
        out += '.';
        out += static_cast<char>('0' + milli / 100);
        appendTwoDigits(out, milli % 100);
    }
    const auto back = parseLocalTime(out, offsetAt);
    if (!back.moment || back.moment->unixMs != unixMs) {
        out += formatOffset(offset);
    }
    return out;
}

} // namespace logformat
