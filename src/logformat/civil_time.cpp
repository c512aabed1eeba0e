#include "logformat/civil_time.h"

#include <cstdio>

namespace logformat {

// The era-based day count: exact for every date, with no table and no loop.
std::int64_t daysFromCivil(const CivilDate& date) {
    const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t m = date.month;
    const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return CivilDate{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

std::string formatDate(const CivilDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

namespace {

std::optional<int> digits(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<CivilDate> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = digits(text.substr(0, 4));
    const auto month = digits(text.substr(5, 2));
    const auto day = digits(text.substr(8, 2));
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1) {
        return std::nullopt;
    }
    // Every timestamp of the log comes through here: a table, not a round trip.
    static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (*day > monthDays[*month - 1] + (*month == 2 && leap ? 1 : 0)) {
        return std::nullopt;
    }
    return CivilDate{*year, *month, *day};
}

std::optional<CivilDate> parseLenientDate(std::string_view text) {
    const std::size_t first = text.find('-');
    const std::size_t second = first == std::string_view::npos ? first : text.find('-', first + 1);
    if (first != 4 || second == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view month = text.substr(first + 1, second - first - 1);
    const std::string_view day = text.substr(second + 1);
    if (month.empty() || month.size() > 2 || day.empty() || day.size() > 2) {
        return std::nullopt;
    }
    const auto year = digits(text.substr(0, 4));
    const auto m = digits(month), d = digits(day);
    if (!year || !m || !d) {
        return std::nullopt;
    }
    // Written out in full, the one parser decides what is a date.
    return parseDate(formatDate(CivilDate{*year, *m, *d}));
}

std::optional<CivilDate> parseDay(std::string_view text, const CivilDate& today) {
    if (text == "today") {
        return today;
    }
    if (text == "yesterday") {
        return civilFromDays(daysFromCivil(today) - 1);
    }
    if (text.size() >= 2 && text.size() <= 7 && text[0] == '-') {
        const auto back = digits(text.substr(1));
        if (!back || *back > maxDaysBack) {
            return std::nullopt;
        }
        return civilFromDays(daysFromCivil(today) - *back);
    }
    return parseLenientDate(text);
}

int daysSinceMonday(const CivilDate& date) {
    // 1970-01-01 was a Thursday.
    const std::int64_t fromAMonday = daysFromCivil(date) + 3;
    return static_cast<int>(fromAMonday - floorDiv(fromAMonday, 7) * 7);
}

} // namespace logformat
