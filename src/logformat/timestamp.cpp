#include "logformat/timestamp.h"

#include <cstdio>

namespace logformat {

std::string formatTimestamp(const Timestamp& moment) {
    const std::int64_t local = moment.unixMs + std::int64_t{moment.offsetMinutes} * 60'000;
    const std::int64_t days = floorDiv(local, millisecondsPerDay);
    const std::int64_t ofDay = local - days * millisecondsPerDay;
    const CivilDate date = civilFromDays(days);
    const int offset = moment.offsetMinutes < 0 ? -moment.offsetMinutes : moment.offsetMinutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year,
                  date.month, date.day, static_cast<int>(ofDay / 3'600'000),
                  static_cast<int>(ofDay / 60'000 % 60), static_cast<int>(ofDay / 1000 % 60),
                  static_cast<int>(ofDay % 1000), moment.offsetMinutes < 0 ? '-' : '+', offset / 60,
                  offset % 60);
    return text;
}

namespace {

bool number(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

namespace {

// The day number of a "YYYY-MM-DD", remembered: a day file's timestamps nearly all share
// their date.
std::optional<std::int64_t> dayNumberOf(std::string_view text) {
    thread_local char lastText[10] = {};
    thread_local std::int64_t lastDay = 0;
    thread_local bool known = false;
    if (known && text.compare(0, 10, std::string_view(lastText, 10)) == 0) {
        return lastDay;
    }
    const auto date = parseDate(text);
    if (!date) {
        return std::nullopt;
    }
    text.copy(lastText, 10);
    lastDay = daysFromCivil(*date);
    known = true;
    return lastDay;
}

} // namespace

std::optional<Timestamp> parseTimestamp(std::string_view text) {
    // 2026-12-07T09:58:22.123+01:00
    // 0123456789012345678901234567
    if (text.size() < 24) {
        return std::nullopt;
    }
    const auto date = dayNumberOf(text.substr(0, 10));
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    if (!date || text[10] != 'T' || text[13] != ':' || text[16] != ':' || text[19] != '.' ||
        !number(text, 11, 2, hour) || !number(text, 14, 2, minute) ||
        !number(text, 17, 2, second) || !number(text, 20, 3, millisecond) || hour > 23 ||
        minute > 59 || second > 59) {
        return std::nullopt;
    }
    int offsetMinutes = 0;
    if (text.size() == 24 && text[23] == 'Z') {
        offsetMinutes = 0;
    } else {
        int offsetHours = 0, offsetRest = 0;
        if (text.size() != 29 || (text[23] != '+' && text[23] != '-') || text[26] != ':' ||
            !number(text, 24, 2, offsetHours) || !number(text, 27, 2, offsetRest) ||
            offsetHours > 23 || offsetRest > 59) {
            return std::nullopt;
        }
        offsetMinutes = (offsetHours * 60 + offsetRest) * (text[23] == '-' ? -1 : 1);
    }
    const std::int64_t local = *date * millisecondsPerDay + std::int64_t{hour} * 3'600'000 +
                               std::int64_t{minute} * 60'000 + std::int64_t{second} * 1000 +
                               millisecond;
    return Timestamp{local - std::int64_t{offsetMinutes} * 60'000, offsetMinutes};
}

CivilDate localDate(const Timestamp& moment) {
    return civilFromDays(
        floorDiv(moment.unixMs + std::int64_t{moment.offsetMinutes} * 60'000, millisecondsPerDay));
}

std::optional<Timestamp> nextMidnight(const Timestamp& start, const Timestamp& end) {
    // By day numbers: every line of a report comes through here.
    const auto dayOf = [](std::int64_t unixMs, std::int32_t offsetMinutes) {
        return floorDiv(unixMs + std::int64_t{offsetMinutes} * 60'000, millisecondsPerDay);
    };
    if (end.unixMs <= start.unixMs ||
        dayOf(end.unixMs - 1, end.offsetMinutes) <= dayOf(start.unixMs, start.offsetMinutes)) {
        return std::nullopt;
    }
    for (const std::int32_t offset : {start.offsetMinutes, end.offsetMinutes}) {
        if (auto midnight = nextMidnight(start, end, [offset](std::int64_t) { return offset; })) {
            return midnight;
        }
    }
    return std::nullopt;
}

} // namespace logformat
