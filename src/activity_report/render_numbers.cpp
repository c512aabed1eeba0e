#include "activity_report/render.h"

#include <cstdio>

namespace report {

std::string formatClock(std::int64_t ms) {
    const std::int64_t seconds = (ms < 0 ? 0 : ms + 500) / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string formatMoment(const logformat::Timestamp& moment, bool withDate, bool asEnd) {
    const std::int64_t local = moment.unixMs + std::int64_t{moment.offsetMinutes} * 60'000;
    // An end at midnight closes the day before: 24:00:00.
    const std::int64_t day =
        logformat::floorDiv(local - (asEnd ? 1 : 0), logformat::millisecondsPerDay);
    const std::int64_t second = (local - day * logformat::millisecondsPerDay) / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(second / 3600),
                  static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
    return withDate ? logformat::formatDate(logformat::civilFromDays(day)) + " " + text : text;
}

std::string formatSeconds(std::int64_t ms) {
    const std::int64_t magnitude = ms < 0 ? -ms : ms;
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 1000),
                  static_cast<long long>(magnitude % 1000));
    return text;
}

std::string formatPercent(std::int64_t part, std::int64_t whole) {
    if (whole <= 0 || part <= 0) {
        return "0.0";
    }
    // Tenths of a percent, rounded half up; the product stays far below 2^63 for any
    // span a log can hold.
    const std::int64_t tenths = (part * 2000 / whole + 1) / 2;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%lld", static_cast<long long>(tenths / 10),
                  static_cast<long long>(tenths % 10));
    return text;
}

std::string daysLabel(const logformat::CivilDate& first, const logformat::CivilDate& last) {
    if (first == last) {
        return logformat::formatDate(first);
    }
    return logformat::formatDate(first) + " to " + logformat::formatDate(last);
}

std::string stateLabel(logformat::ActivityState state) {
    return state == logformat::ActivityState::none ? "no window"
                                                   : std::string(logformat::stateName(state));
}

Summary summaryOf(const ReportOptions& options, const Totals& totals) {
    Summary summary;
    summary.by = options.by;
    summary.includeAway = options.includeAway;
    summary.first = options.first;
    summary.last = options.last;
    summary.rangeLabel = options.rangeLabel;
    summary.table = tableOf(totals, options.includeAway);
    summary.byState = totals.byState;
    summary.coverage = totals.coverage;
    summary.columns = options.columns;
    return summary;
}

} // namespace report
