// The same rows for spreadsheets (CSV, RFC 4180) and scripts (one JSON document).
#include "activity_report/render.h"

#include "activity_report/text_width.h"
#include "logformat/log_event.h"

namespace report {

// A CSV file is often printed on a terminal, and opened in a spreadsheet: control
// characters are replaced as in the table, and a cell that a spreadsheet would run as a
// formula gets a leading apostrophe, as OWASP advises. JSON keeps the text as it is.
std::string csvField(std::string_view raw) {
    const bool formula =
        !raw.empty() && std::string_view("=+-@\t\r").find(raw.front()) != std::string_view::npos;
    std::string text(formula ? 1 : 0, '\'');
    text += printable(raw);
    if (text.find_first_of(",\"") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

namespace {

std::string momentJson(const std::optional<logformat::Timestamp>& moment) {
    if (!moment) {
        return "null";
    }
    std::string out(1, '"');
    out += logformat::formatTimestamp(*moment);
    out += '"';
    return out;
}

} // namespace

std::string renderCsv(const Summary& summary) {
    std::string out = csvField(groupByName(summary.by)) + ",seconds,percent\r\n";
    for (const Row& row : summary.table.rows) {
        out += csvField(row.name) + "," + formatSeconds(row.ms) + "," +
               formatPercent(row.ms, summary.table.totalMs) + "\r\n";
    }
    return out;
}

std::string renderJson(const Summary& summary, std::uint64_t skippedLines) {
    const Coverage& c = summary.coverage;
    std::string out = "{\"from\": \"" + logformat::formatDate(summary.first) + "\", \"to\": \"" +
                      logformat::formatDate(summary.last) + "\", \"by\": \"" +
                      std::string(groupByName(summary.by)) +
                      "\", \"include_away\": " + (summary.includeAway ? "true" : "false") +
                      ",\n \"rows\": [";
    for (std::size_t i = 0; i < summary.table.rows.size(); ++i) {
        const Row& row = summary.table.rows[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"name\": ";
        logformat::appendJsonString(out, row.name);
        out += ", \"seconds\": " + formatSeconds(row.ms) +
               ", \"percent\": " + formatPercent(row.ms, summary.table.totalMs) + "}";
    }
    out += summary.table.rows.empty() ? "],\n" : "\n ],\n";
    out += " \"total_seconds\": " + formatSeconds(summary.table.totalMs) + ",\n";
    out += " \"states\": {";
    for (std::size_t s = 0; s < summary.byState.size(); ++s) {
        out += s == 0 ? "\"" : ", \"";
        out += logformat::stateName(static_cast<logformat::ActivityState>(s));
        out += "\": " + formatSeconds(summary.byState[s]);
    }
    out += "},\n";
    out += " \"coverage\": {\"span_seconds\": " + formatSeconds(c.spanMs) +
           ", \"active_seconds\": " + formatSeconds(c.activeMs) +
           ", \"away_seconds\": " + formatSeconds(c.awayMs) +
           ", \"no_window_seconds\": " + formatSeconds(c.noWindowMs) +
           ", \"unavailable_seconds\": " + formatSeconds(c.unavailableMs) +
           ", \"not_recorded_seconds\": " + formatSeconds(c.notRecordedMs) +
           ", \"gaps_over_a_minute\": " + std::to_string(c.gapsOverAMinute) +
           ", \"tagged_seconds\": " + formatSeconds(c.taggedMs) +
           ",\n  \"first_recorded\": " + momentJson(c.firstRecorded) +
           ", \"last_recorded\": " + momentJson(c.lastRecorded) +
           ", \"not_recorded_between_seconds\": " + formatSeconds(c.notRecordedBetweenMs) +
           ", \"gaps_between\": " + std::to_string(c.gapsBetween) + ", \"longest_gaps\": [";
    for (std::size_t i = 0; i < c.longestGapCount; ++i) {
        const Gap& gap = c.longestGaps[i];
        out += (i == 0 ? "" : ", ") + std::string("{\"from\": ") + momentJson(gap.from) +
               ", \"to\": " + momentJson(gap.to) +
               ", \"seconds\": " + formatSeconds(gap.to.unixMs - gap.from.unixMs) + "}";
    }
    out += "]},\n";
    out += " \"skipped_lines\": " + std::to_string(skippedLines) + "}\n";
    return out;
}

} // namespace report
