#include "activity_report/html_page.h"

#include "activity_report/categories.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

namespace report {

using logformat::ActivityState;

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\n':
            out += c; // a tooltip's line break
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                out += "\xEF\xBF\xBD";
            } else {
                out += c;
            }
        }
    }
    return out;
}

namespace {

// The timeline's drawing, in SVG user units; it scales to the page's width.
constexpr double svgWidth = 1200;
constexpr double plotLeft = 110;
constexpr double plotRight = 1188;
constexpr double laneTop = 8;
constexpr double laneHeight = 26;
constexpr double laneGap = 6;
constexpr double axisHeight = 26;

// A colour per category number, told apart on screen and on paper.
constexpr std::array<const char*, 18> categoryColours = {
    "#7f7f7f", "#1f77b4", "#17becf", "#9467bd", "#8c564b", "#2ca02c",
    "#bcbd22", "#e377c2", "#3366cc", "#109618", "#ff7f0e", "#0099c6",
    "#222222", "#dd4477", "#66aa00", "#d62728", "#b82e2e", "#994499",
};

const char* colourOf(std::int64_t category) {
    return category >= 0 && category < static_cast<std::int64_t>(categoryColours.size())
               ? categoryColours[static_cast<std::size_t>(category)]
               : categoryColours[0];
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// "09:58:22", local time by the moment's own offset.
std::string clockOf(const logformat::Timestamp& moment) {
    return logformat::formatTimestamp(moment).substr(11, 8);
}

std::string weekdayOf(const logformat::CivilDate& date) {
    static const char* const names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    const std::int64_t days = logformat::daysFromCivil(date);
    return names[static_cast<std::size_t>(((days + 4) % 7 + 7) % 7)];
}

bool away(ActivityState state) {
    return state == ActivityState::idle || state == ActivityState::locked;
}

const char* const style = R"(<style>
:root { color-scheme: light; }
body { font: 15px/1.45 "DejaVu Sans", "Segoe UI", Arial, sans-serif; color: #1d1d1f;
       background: #fff; margin: 24px; }
h1 { font-size: 22px; margin: 0 0 16px; }
h2 { font-size: 18px; margin: 0 0 8px; }
section.day, section.all { max-width: 1232px; margin: 0 auto 40px; break-after: page; }
section:last-of-type { break-after: auto; }
svg.timeline { display: block; width: 100%; height: auto; }
svg .lane-label { font-size: 12px; fill: #333; }
svg .tick { stroke: #d0d0d0; stroke-width: 1; }
svg .tick-label { font-size: 11px; fill: #555; text-anchor: middle; }
svg .lane-bg { fill: #f4f4f6; }
svg .away { fill: #8c8c99; fill-opacity: 0.28; }
svg .unavailable { fill: #d62728; fill-opacity: 0.12; }
svg .event { stroke: #fff; stroke-width: 0.3; }
p.legend, p.coverage { font-size: 13px; color: #444; margin: 6px 0; }
.swatch { display: inline-block; width: 12px; height: 12px; vertical-align: -1px;
          margin: 0 4px 0 12px; }
table.totals { border-collapse: collapse; margin-top: 10px; min-width: 640px; }
table.totals th, table.totals td { padding: 3px 10px; border-bottom: 1px solid #e4e4e8;
                                  text-align: left; }
table.totals td.time, table.totals td.share { text-align: right;
                                             font-variant-numeric: tabular-nums; }
table.totals td.name { max-width: 560px; overflow: hidden; text-overflow: ellipsis;
                       white-space: nowrap; }
table.totals td.bar { width: 260px; }
table.totals .bar span { display: block; height: 10px; background: #1f77b4; }
table.totals tr.total td { font-weight: bold; border-bottom: none; }
@page { size: A4 landscape; margin: 12mm; }
@media print {
  body { margin: 0; }
  section.day, section.all { margin: 0; max-width: none; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
</style>
)";

std::string tableHtml(const Table& table, GroupBy by) {
    std::string out = "<table class=\"totals\">\n<tr><th>" + escapeHtml(groupByName(by)) +
                      "</th><th>time</th><th>share</th><th></th></tr>\n";
    for (const Row& row : table.rows) {
        const std::string share = formatPercent(row.ms, table.totalMs);
        out += "<tr><td class=\"name\" title=\"" + escapeHtml(row.name) + "\">" +
               escapeHtml(row.name) + "</td><td class=\"time\">" + formatClock(row.ms) +
               "</td><td class=\"share\">" + share +
               "%</td><td class=\"bar\"><span style=\"width: " + share + "%\"></span></td></tr>\n";
    }
    out += "<tr class=\"total\"><td>Total</td><td class=\"time\">" + formatClock(table.totalMs) +
           "</td><td class=\"share\">" + (table.rows.empty() ? "" : "100.0%") +
           "</td><td></td></tr>\n</table>\n";
    return out;
}

std::string coverageHtml(const Coverage& c) {
    return "<p class=\"coverage\">Coverage: active " + formatClock(c.activeMs) + ", away " +
           formatClock(c.awayMs) + ", no window " + formatClock(c.noWindowMs) + ", unavailable " +
           formatClock(c.unavailableMs) + ", not recorded " + formatClock(c.notRecordedMs) +
           " of " + formatClock(c.spanMs) + ", " + std::to_string(c.gapsOverAMinute) +
           (c.gapsOverAMinute == 1 ? " gap" : " gaps") + " over a minute.</p>\n";
}

std::string tooltip(const Piece& piece) {
    const auto& e = piece.event;
    std::string text = clockOf(e.start) + " \xE2\x80\x93 " + clockOf(e.end);
    if (e.state != ActivityState::active) {
        return text + "\n" + stateLabel(e.state);
    }
    text += "\n" + (e.app.empty() ? std::string("(unknown app)") : e.app);
    if (!e.title.empty()) {
        text += "\n" + e.title;
    }
    return text;
}

} // namespace

std::vector<HourTick> hourTicks(const Day& day) {
    constexpr std::int64_t hourMs = 3'600'000;
    std::vector<HourTick> ticks;
    for (std::size_t i = 0; i < day.offsets.size(); ++i) {
        const std::int64_t offsetMs = std::int64_t{day.offsets[i].minutes} * 60'000;
        const std::int64_t from = std::max(day.offsets[i].fromMs, day.spanStartMs);
        const std::int64_t to =
            i + 1 < day.offsets.size() ? day.offsets[i + 1].fromMs : day.midnightAfterMs;
        // Each whole hour the local clock shows while this offset holds.
        const std::int64_t firstLocal = -logformat::floorDiv(-(from + offsetMs), hourMs) * hourMs;
        for (std::int64_t local = firstLocal; local - offsetMs < to; local += hourMs) {
            char label[8];
            std::snprintf(label, sizeof label, "%02d",
                          static_cast<int>(logformat::floorDiv(local, hourMs) % 24 + 24) % 24);
            ticks.push_back({local - offsetMs, label});
        }
    }
    ticks.push_back({day.midnightAfterMs, "24"});
    return ticks;
}

bool HtmlPage::open(const std::filesystem::path& file, const ReportOptions& options) {
    out_.open(file, std::ios::binary | std::ios::trunc);
    if (!out_) {
        return false;
    }
    options_ = options;
    const std::string label = daysLabel(options.first, options.last);
    out_ << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>Activity, " << label << "</title>\n"
         << style << "</head>\n<body>\n<h1>Activity by " << groupByName(options.by) << ", " << label
         << "</h1>\n";
    return true;
}

void HtmlPage::addDay(const Day& day, const Totals& dayTotals) {
    ++days_;
    // One lane per category with active time, in the table's order of numbers.
    std::set<std::int64_t> categories;
    for (const Piece& piece : day.pieces) {
        if (piece.event.state == ActivityState::active) {
            categories.insert(piece.event.category);
        }
    }
    const std::size_t lanes = std::max<std::size_t>(categories.size(), 1);
    const double lanesBottom = laneTop + static_cast<double>(lanes) * (laneHeight + laneGap);
    const double height = lanesBottom + axisHeight;
    const double dayMs =
        static_cast<double>(std::max<std::int64_t>(day.midnightAfterMs - day.spanStartMs, 1));
    const auto x = [&](std::int64_t ms) {
        const double at = static_cast<double>(ms - day.spanStartMs) / dayMs;
        return plotLeft + std::clamp(at, 0.0, 1.0) * (plotRight - plotLeft);
    };

    const std::string date = logformat::formatDate(day.date);
    std::string s = "<section class=\"day\" id=\"day-" + date + "\">\n<h2>" + weekdayOf(day.date) +
                    " " + date + "</h2>\n";
    s += "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
         number(svgWidth) + " " + number(height) + "\" width=\"" + number(svgWidth) +
         "\" height=\"" + number(height) + "\" role=\"img\" aria-label=\"Timeline of " + date +
         "\">\n";

    // Lanes first, then what is shaded over them, then the events on top.
    std::size_t lane = 0;
    for (const std::int64_t category : categories) {
        const double y = laneTop + static_cast<double>(lane++) * (laneHeight + laneGap);
        s += "<rect class=\"lane-bg\" x=\"" + number(plotLeft) + "\" y=\"" + number(y) +
             "\" width=\"" + number(plotRight - plotLeft) + "\" height=\"" + number(laneHeight) +
             "\"/><text class=\"lane-label\" x=\"4\" y=\"" + number(y + laneHeight * 0.66) + "\">" +
             escapeHtml(categoryName(category)) + "</text>\n";
    }
    if (categories.empty()) {
        s += "<text class=\"lane-label\" x=\"" + number(plotLeft + 8) + "\" y=\"" +
             number(laneTop + laneHeight * 0.66) + "\">No active time recorded.</text>\n";
    }
    s += "<g class=\"axis\">\n";
    for (const HourTick& tick : hourTicks(day)) {
        const double tx = x(tick.atMs);
        s += "<line class=\"tick\" x1=\"" + number(tx) + "\" x2=\"" + number(tx) + "\" y1=\"" +
             number(laneTop - 4) + "\" y2=\"" + number(lanesBottom) + "\"/>";
        s += "<text class=\"tick-label\" x=\"" + number(tx) + "\" y=\"" + number(lanesBottom + 16) +
             "\">" + tick.label + "</text>\n";
    }
    s += "</g>\n<g class=\"shading\">\n";
    for (const Piece& piece : day.pieces) {
        const bool isAway = away(piece.event.state);
        if (!isAway && piece.event.state != ActivityState::unavailable) {
            continue;
        }
        s += std::string("<rect class=\"") + (isAway ? "away" : "unavailable") + "\" x=\"" +
             number(x(piece.fromMs)) + "\" y=\"" + number(laneTop - 4) + "\" width=\"" +
             number(std::max(x(piece.toMs) - x(piece.fromMs), 0.5)) + "\" height=\"" +
             number(lanesBottom - laneTop + 4) + "\"><title>" + escapeHtml(tooltip(piece)) +
             "</title></rect>\n";
    }
    s += "</g>\n";
    lane = 0;
    for (const std::int64_t category : categories) {
        const double y = laneTop + static_cast<double>(lane++) * (laneHeight + laneGap);
        s += "<g class=\"lane\" data-lane=\"" + escapeHtml(categoryName(category)) + "\">\n";
        for (const Piece& piece : day.pieces) {
            if (piece.event.state != ActivityState::active || piece.event.category != category) {
                continue;
            }
            // A span too short to see still gets a sliver, and its tooltip.
            s += "<rect class=\"event\" x=\"" + number(x(piece.fromMs)) + "\" y=\"" + number(y) +
                 "\" width=\"" + number(std::max(x(piece.toMs) - x(piece.fromMs), 0.5)) +
                 "\" height=\"" + number(laneHeight) + "\" fill=\"" + colourOf(category) +
                 "\"><title>" + escapeHtml(tooltip(piece)) + "</title></rect>\n";
        }
        s += "</g>\n";
    }
    s += "</svg>\n<p class=\"legend\">Shaded:<span class=\"swatch\" style=\"background: "
         "#8c8c9947\"></span>away (idle, locked)<span class=\"swatch\" style=\"background: "
         "#d627281f\"></span>collector unavailable</p>\n";
    s += tableHtml(tableOf(dayTotals, options_.includeAway), options_.by);
    s += coverageHtml(dayTotals.coverage);
    s += "</section>\n";
    out_ << s;
}

bool HtmlPage::finish(const Summary& overall) {
    if (days_ > 1) {
        out_ << "<section class=\"all\">\n<h2>All days, " << daysLabel(overall.first, overall.last)
             << "</h2>\n"
             << tableHtml(overall.table, overall.by) << coverageHtml(overall.coverage)
             << "</section>\n";
    }
    out_ << "</body>\n</html>\n";
    out_.close();
    return !out_.fail();
}

} // namespace report
