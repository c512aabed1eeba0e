// Calendar arithmetic for the log's local days, with no time zone in it: the offset of
// a moment comes from the platform, the rest is counting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logformat {

struct CivilDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
    friend auto operator<=>(const CivilDate&, const CivilDate&) = default;
};

// Days since 1970-01-01 in the proleptic Gregorian calendar, and back.
std::int64_t daysFromCivil(const CivilDate& date);
CivilDate civilFromDays(std::int64_t days);

// "YYYY-MM-DD", years 0000 to 9999 only; parsing refuses anything else, and dates
// that don't exist (2026-02-30).
std::string formatDate(const CivilDate& date);
std::optional<CivilDate> parseDate(std::string_view text);

// A date as a person types it: the month and the day may have one digit ("2026-12-8").
std::optional<CivilDate> parseLenientDate(std::string_view text);

// A day as a person names it: "today", "yesterday", "-N" (N days before TODAY, N up to
// maxDaysBack) or a date as parseLenientDate reads it.
constexpr int maxDaysBack = 100'000;
std::optional<CivilDate> parseDay(std::string_view text, const CivilDate& today);

// Days from Monday (0) to DATE's weekday (0..6).
int daysSinceMonday(const CivilDate& date);

constexpr std::int64_t millisecondsPerDay = 86'400'000;

// Floor division, for moments before 1970 as well.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace logformat
