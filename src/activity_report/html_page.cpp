#include "activity_report/html_page.h"

#include "activity_report/attribution.h"
#include "activity_report/categories.h"
#include "activity_report/text_width.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

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

std::string_view laneOf(const Grouper& grouper, const logformat::LogEvent& event,
                        std::string& scratch) {
    if (grouper.by == GroupBy::project) {
        return grouper.nameOf(event, scratch);
    }
    scratch = categoryName(event.category);
    return scratch;
}

namespace {

// The timeline's drawing, in SVG user units; it scales to the page's width.
constexpr double svgWidth = 1200;
constexpr double plotLeft = 170;
constexpr double plotRight = 1184;
constexpr double tagRowHeight = 20;
constexpr double laneHeight = 26;
constexpr double laneGap = 6;
constexpr double axisHeight = 26;
constexpr std::size_t topDocuments = 10;
constexpr std::size_t cellColumns = 80;
constexpr std::size_t tooltipColumns = 240;

// A colour per category number, told apart on screen and on paper, and where bars of
// the overview stack them side by side: no two of the common ones alike.
constexpr std::array<const char*, 18> categoryColours = {
    "#7f7f7f", "#1f77b4", "#17becf", "#9467bd", "#8c564b", "#2ca02c",
    "#bcbd22", "#e377c2", "#ff7f0e", "#393b79", "#ad494a", "#0099c6",
    "#222222", "#dd4477", "#66aa00", "#d62728", "#b82e2e", "#994499",
};
// Projects' colours, given in the order the projects appear.
constexpr std::array<const char*, 12> projectColours = {
    "#4e79a7", "#f28e2b", "#59a14f", "#e15759", "#76b7b2", "#b07aa1",
    "#edc948", "#9c755f", "#ff9da7", "#1f77b4", "#8cd17d", "#d37295",
};
constexpr const char* uncategorisedColour = "#a0a0aa";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// "09:58:22", local time by the moment's own offset.
std::string clockOf(const logformat::Timestamp& moment) {
    return logformat::formatTimestamp(moment).substr(11, 8);
}

// "09:58", local time on the day's clock.
std::string clockOn(const Day& day, std::int64_t ms) {
    return clockOf({ms, offsetOn(day, ms)}).substr(0, 5);
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
h3 { font-size: 14px; margin: 0 0 2px; color: #444; }
section.day, section.all, section.overview { max-width: 1232px; margin: 0 auto 40px;
                                             break-after: page; }
section:last-of-type, section.empty { break-after: auto; }
/* A day off screen is laid out and drawn when it is scrolled to: a month opens at once. */
section.day { content-visibility: auto; contain-intrinsic-size: auto 640px; }
svg.timeline, svg.overview { display: block; width: 100%; height: auto; }
svg .lane-label { font-size: 12px; fill: #333; }
svg .tick { stroke: #d0d0d0; stroke-width: 1; }
svg .tick-label { font-size: 11px; fill: #555; text-anchor: middle; }
svg .lane-bg { fill: #f4f4f6; }
svg .away { fill: #8c8c99; fill-opacity: 0.28; }
svg .unavailable { fill: #d62728; fill-opacity: 0.12; }
svg .event { stroke: #fff; stroke-width: 0.3; }
svg path.merged { fill: none; stroke-width: 26px; }
svg g.lane path.merged { stroke: inherit; }
svg g.shading path.merged { stroke-width: inherit; }
svg path.away { stroke: #8c8c99; stroke-opacity: 0.28; }
svg path.unavailable { stroke: #d62728; stroke-opacity: 0.12; }
svg .tag { fill: #f2b134; fill-opacity: 0.16; stroke: #c98a00; stroke-width: 1;
           stroke-dasharray: 4 3; }
svg .tag-label { font-size: 12px; fill: #7a5200; font-weight: bold; }
p.legend .tag-name { font-weight: bold; color: #7a5200; }
svg .bar-label { font-size: 11px; fill: #555; text-anchor: middle; }
svg .scale-label { font-size: 11px; fill: #555; text-anchor: end; }
p.legend, p.coverage { font-size: 13px; color: #444; margin: 6px 0; }
p.empty { font-size: 15px; color: #444; margin: 12px 0; }
.item { white-space: nowrap; }
.swatch { display: inline-block; width: 12px; height: 12px; vertical-align: -1px;
          margin: 0 4px 0 12px; }
div.tables { display: flex; flex-wrap: wrap; gap: 8px 40px; align-items: flex-start;
             margin-top: 10px; }
table.totals, table.documents { border-collapse: collapse; }
table th, table td { padding: 3px 10px; border-bottom: 1px solid #e4e4e8; text-align: left; }
table td.time, table td.share { text-align: right; font-variant-numeric: tabular-nums; }
table td.name { max-width: 300px; overflow: hidden; text-overflow: ellipsis;
                white-space: nowrap; }
table.documents td.app { max-width: 170px; overflow: hidden; text-overflow: ellipsis;
                         white-space: nowrap; color: #555; }
table.totals td.bar { width: 140px; }
table.totals .bar span { display: block; height: 10px; background: #1f77b4; }
table.totals tr.total td { font-weight: bold; border-bottom: none; }
caption { caption-side: top; text-align: left; font-weight: bold; font-size: 14px;
          padding: 0 10px 4px; color: #444; }
@page { size: A4 landscape; margin: 12mm; }
@media print {
  body { margin: 0; font-size: 13px; }
  section.day, section.all, section.overview { margin: 0; max-width: none; }
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

// The day's documents with the most active time, each with the app it was open in.
std::string documentsHtml(const Day& day) {
    std::map<std::pair<std::string_view, std::string_view>, std::int64_t> times;
    for (const Piece& piece : day.pieces) {
        if (piece.event.state == ActivityState::active && !piece.event.doc.empty()) {
            times[{piece.event.doc, piece.event.app}] += piece.toMs - piece.fromMs;
        }
    }
    if (times.empty()) {
        return {};
    }
    std::vector<std::pair<std::pair<std::string_view, std::string_view>, std::int64_t>> top(
        times.begin(), times.end());
    std::sort(top.begin(), top.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    top.resize(std::min(top.size(), topDocuments));
    std::string out = "<table class=\"documents\">\n<caption>Top documents</caption>\n"
                      "<tr><th>document</th><th>app</th><th>time</th></tr>\n";
    for (const auto& [key, ms] : top) {
        const std::string app = escapeHtml(key.second.empty() ? "(unknown app)" : key.second);
        // The cell shows 300 pixels of it, its tooltip a few lines: neither needs more
        // of a name a thousand characters long.
        out += "<tr><td class=\"name\" title=\"" +
               escapeHtml(fitColumns(key.first, tooltipColumns)) + "\">" +
               escapeHtml(fitColumns(key.first, cellColumns)) + "</td><td class=\"app\" title=\"" +
               app + "\">" + app + "</td><td class=\"time\">" + formatClock(ms) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

std::string coverageHtml(const Coverage& c, bool withDates) {
    std::string parts;
    for (const std::string& part : coverageParts(c, withDates)) {
        parts += (parts.empty() ? "" : ", ") + part;
    }
    return "<p class=\"coverage\">Coverage: " + escapeHtml(parts) + ".</p>\n";
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

// Text clipped to a box: an inner SVG cuts off what overflows.
std::string clippedText(double x, double y, double width, double height, const char* cls,
                        const std::string& text, const std::string& title) {
    return "<svg x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" +
           number(std::max(width, 0.0)) + "\" height=\"" + number(height) + "\"><text class=\"" +
           cls + "\" x=\"0\" y=\"" + number(height * 0.7) + "\">" + escapeHtml(text) + "<title>" +
           escapeHtml(title) + "</title></text></svg>";
}

// How wide a tag's label is drawn, in units: 12-pixel bold, about 8 a column, and room
// either side.
double tagLabelUnits(std::string_view label) {
    return 8.0 * static_cast<double>(displayWidth(label)) + 6;
}

struct Lane {
    std::string name;
    std::int64_t category = -1; // a category lane's number, for its colour
};

// Tenths of a unit, as short as SVG reads them: "12", "3.5", ".5".
std::string tenths(std::int64_t value) {
    std::string out = value < 0 ? "-" : "";
    const std::int64_t magnitude = value < 0 ? -value : value;
    if (magnitude >= 10 || magnitude % 10 == 0) {
        out += std::to_string(magnitude / 10);
    }
    if (magnitude % 10 != 0) {
        out += "." + std::to_string(magnitude % 10);
    }
    return out;
}

// How the events of one row (a lane, or the shading across them) are drawn. An event a
// pixel wide or more is a rect of its own, with its own tooltip. Narrower ones, which no
// eye can tell apart, are merged: those less than a pixel apart are one mark, and the
// marks of a stretch of the row up to mergeWindow units long are one path, whose
// tooltip says what the stretch held. A month of a busy log stays a page a browser
// draws at once.
constexpr double mergeWindow = 100;

class RowDrawing {
  public:
    struct Geometry {
        std::function<double(std::int64_t)> x; // a moment's place, in units
        double pixelMs = 0;                    // the time one unit stands for
        double top = 0;
        double height = 0;
    };
    // CLASSES: the rects' class, the paths' with "merged"; COLOUR: the rects' fill, or
    // none for the class's own (a path's stroke and its width come from the row's group).
    RowDrawing(const Geometry& geometry, std::string classes, std::string colour, const Day& day)
        : geometry_(geometry), classes_(std::move(classes)), colour_(std::move(colour)), day_(day) {
    }

    // Pieces in order of their start; NAME says what the piece was (its app, or its
    // state), for a merged stretch's tooltip.
    void add(const Piece& piece, const std::string& name, const std::string& tooltip) {
        const std::int64_t ms = piece.toMs - piece.fromMs;
        if (static_cast<double>(ms) >= geometry_.pixelMs) {
            endStretch();
            out_ += "<rect class=\"" + classes_ + "\" x=\"" + number(geometry_.x(piece.fromMs)) +
                    "\" y=\"" + number(geometry_.top) + "\" width=\"" +
                    number(std::max(geometry_.x(piece.toMs) - geometry_.x(piece.fromMs), 0.5)) +
                    "\" height=\"" + number(geometry_.height) + "\"" +
                    (colour_.empty() ? "" : " fill=\"" + colour_ + "\"") + "><title>" +
                    escapeHtml(tooltip) + "</title></rect>\n";
            return;
        }
        if (stretch_.events > 0 &&
            geometry_.x(piece.fromMs) - geometry_.x(stretch_.fromMs) > mergeWindow) {
            endStretch();
        }
        if (stretch_.events == 0) {
            stretch_.fromMs = piece.fromMs;
            markFrom_ = piece.fromMs;
            markTo_ = piece.toMs;
        } else if (static_cast<double>(piece.fromMs - markTo_) < geometry_.pixelMs) {
            markTo_ = std::max(markTo_, piece.toMs);
        } else {
            endMark();
            markFrom_ = piece.fromMs;
            markTo_ = piece.toMs;
        }
        ++stretch_.events;
        stretch_.ms += ms;
        stretch_.toMs = std::max(stretch_.toMs, piece.toMs);
        stretch_.byName[name] += ms;
    }

    // The row's markup, once every piece is added.
    std::string finish() {
        endStretch();
        return std::move(out_);
    }

  private:
    struct Stretch {
        std::int64_t fromMs = 0;
        std::int64_t toMs = 0;
        std::int64_t ms = 0; // the events' own time
        std::size_t events = 0;
        std::map<std::string, std::int64_t> byName;
        std::string path;     // its marks
        std::int64_t pen = 0; // where the path's last mark ended, in tenths of a unit
    };

    // A mark: a line as thick as the row, half a unit long at least.
    void endMark() {
        const auto at = static_cast<std::int64_t>(std::lround(geometry_.x(markFrom_) * 10));
        const auto to = static_cast<std::int64_t>(std::lround(geometry_.x(markTo_) * 10));
        const std::int64_t length = std::max<std::int64_t>(to - at, 5);
        stretch_.path += stretch_.path.empty()
                             ? "M" + tenths(at) + " " +
                                   tenths(std::lround((geometry_.top + geometry_.height / 2) * 10))
                             : "m" + tenths(at - stretch_.pen) + " 0";
        stretch_.path += "h" + tenths(length);
        stretch_.pen = at + length;
    }

    void endStretch() {
        if (stretch_.events == 0) {
            return;
        }
        endMark();
        std::string title = clockOf({stretch_.fromMs, offsetOn(day_, stretch_.fromMs)}) +
                            " \xE2\x80\x93 " +
                            clockOf({stretch_.toMs, offsetOn(day_, stretch_.toMs - 1)}) + "\n" +
                            std::to_string(stretch_.events) + " short events, " +
                            formatClock(stretch_.ms) + " in all";
        const auto most =
            std::max_element(stretch_.byName.begin(), stretch_.byName.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        if (most != stretch_.byName.end()) {
            title += "\nmostly " + most->first + " " + formatClock(most->second);
        }
        out_ += "<path class=\"" + classes_ + " merged\" d=\"" + stretch_.path +
                "\" data-events=\"" + std::to_string(stretch_.events) + "\" data-ms=\"" +
                std::to_string(stretch_.ms) + "\"><title>" + escapeHtml(title) +
                "</title></path>\n";
        stretch_ = {};
    }

    const Geometry& geometry_;
    std::string classes_;
    std::string colour_;
    const Day& day_;
    Stretch stretch_;
    std::int64_t markFrom_ = 0;
    std::int64_t markTo_ = 0;
    std::string out_;
};

} // namespace

std::string HtmlPage::colourOf(const std::string& lane, std::int64_t category) {
    const auto found = colours_.find(lane);
    if (found != colours_.end()) {
        return found->second;
    }
    std::string colour;
    if (category >= 0) {
        colour = category < static_cast<std::int64_t>(categoryColours.size())
                     ? categoryColours[static_cast<std::size_t>(category)]
                     : categoryColours[0];
    } else if (lane == "Uncategorised") {
        colour = uncategorisedColour;
    } else {
        std::size_t projects = 0;
        for (const auto& [name, _] : colours_) {
            projects += name != "Uncategorised" ? 1 : 0;
        }
        colour = projectColours[projects % projectColours.size()];
    }
    return colours_.emplace(lane, colour).first->second;
}

HtmlPage::~HtmlPage() {
    if (days_.is_open()) {
        days_.close();
        std::error_code error;
        std::filesystem::remove(daysFile_, error);
    }
}

bool HtmlPage::open(const std::filesystem::path& file, const ReportOptions& options,
                    const Grouper& grouper) {
    out_.open(file, std::ios::binary | std::ios::trunc);
    if (!out_) {
        return false;
    }
    options_ = options;
    grouper_ = grouper;
    overview_ =
        logformat::daysFromCivil(options.last) - logformat::daysFromCivil(options.first) + 1 >= 7;
    if (overview_) {
        // Rather than a second pass over the log (the page never reads summaries): the
        // days' markup waits here, and is copied after the overview at the end.
        daysFile_ = file;
        daysFile_ += ".days~";
        days_.open(daysFile_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
        if (!days_) {
            return false;
        }
    }
    const std::string label = daysLabel(options.first, options.last);
    out_ << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>Activity, " << label << "</title>\n"
         << style << "</head>\n<body>\n<h1>Activity by " << groupByName(options.by) << ", " << label
         << "</h1>\n";
    return true;
}

void HtmlPage::addDay(const Day& day, const Totals& dayTotals) {
    ++dayCount_;
    const std::string date = logformat::formatDate(day.date);
    std::string s = "<section class=\"day\" id=\"day-" + date + "\">\n<h2>" + weekdayOf(day.date) +
                    " " + date + "</h2>\n";

    // The lanes, and the day's time per lane for the overview.
    // Projects get colours of their own; categories keep theirs.
    const bool projectLanes = grouper_.by == GroupBy::project;
    std::map<std::string, std::int64_t> laneTimes;
    std::vector<Lane> lanes;
    std::string scratch;
    for (const Piece& piece : day.pieces) {
        if (piece.event.state == ActivityState::active) {
            const std::string_view name = laneOf(grouper_, piece.event, scratch);
            auto [at, added] = laneTimes.try_emplace(std::string(name), 0);
            at->second += piece.toMs - piece.fromMs;
            if (added) {
                lanes.push_back({at->first, projectLanes ? -1 : piece.event.category});
            }
        }
    }
    if (overview_ && projectLanes) {
        // As the table counts them: tagged time under its tag.
        bars_.push_back(
            {day.date, {dayTotals.activeByGroup.begin(), dayTotals.activeByGroup.end()}});
    } else if (overview_) {
        bars_.push_back({day.date, {laneTimes.begin(), laneTimes.end()}});
    }
    // Categories in the table's order of numbers, projects by name.
    std::sort(lanes.begin(), lanes.end(), [](const Lane& a, const Lane& b) {
        const bool aLast = a.name == "Uncategorised", bLast = b.name == "Uncategorised";
        return a.category != b.category ? a.category < b.category
               : aLast != bLast         ? bLast
                                        : a.name < b.name;
    });

    // The tags on the day, the one made last holding where they overlap.
    const std::vector<TagSpan> bands = tags_.empty()
                                           ? std::vector<TagSpan>{}
                                           : tagSpans(tags_, day.spanStartMs, day.midnightAfterMs);

    std::optional<AxisRange> recorded = recordedPart(day);
    for (const TagSpan& band : bands) {
        recorded = AxisRange{recorded ? std::min(recorded->fromMs, band.fromMs) : band.fromMs,
                             recorded ? std::max(recorded->toMs, band.toMs) : band.toMs};
    }
    if (!recorded) {
        // A run of empty days is one line, written when the run ends.
        if (emptyLast_ &&
            logformat::daysFromCivil(*emptyLast_) + 1 == logformat::daysFromCivil(day.date)) {
            emptyLast_ = day.date;
        } else {
            endEmptyDays();
            emptyFirst_ = emptyLast_ = day.date;
        }
        return;
    }
    endEmptyDays();
    const AxisRange range = recordedHours(day, recorded->fromMs, recorded->toMs);

    const double laneTop = bands.empty() ? 8 : 8 + tagRowHeight;
    const std::size_t laneCount = std::max<std::size_t>(lanes.size(), 1);
    const double lanesBottom = laneTop + static_cast<double>(laneCount) * (laneHeight + laneGap);
    const double height = lanesBottom + axisHeight;
    const double spanMs = static_cast<double>(std::max<std::int64_t>(range.toMs - range.fromMs, 1));
    const auto x = [&](std::int64_t ms) {
        const double at = static_cast<double>(ms - range.fromMs) / spanMs;
        return plotLeft + std::clamp(at, 0.0, 1.0) * (plotRight - plotLeft);
    };

    s += "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
         number(svgWidth) + " " + number(height) + "\" width=\"" + number(svgWidth) +
         "\" height=\"" + number(height) + "\" role=\"img\" aria-label=\"Timeline of " + date +
         ", " + clockOn(day, range.fromMs) + " to " +
         (range.toMs == day.midnightAfterMs ? std::string("24:00") : clockOn(day, range.toMs)) +
         "\">\n";

    // Lanes first, then what is shaded over them, then the events, and the tags on top.
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        const double y = laneTop + static_cast<double>(lane) * (laneHeight + laneGap);
        s += "<rect class=\"lane-bg\" x=\"" + number(plotLeft) + "\" y=\"" + number(y) +
             "\" width=\"" + number(plotRight - plotLeft) + "\" height=\"" + number(laneHeight) +
             "\"/>" +
             clippedText(4, y, plotLeft - 10, laneHeight, "lane-label", lanes[lane].name,
                         lanes[lane].name + "\n" + formatClock(laneTimes[lanes[lane].name])) +
             "\n";
    }
    if (lanes.empty()) {
        s += "<text class=\"lane-label\" x=\"" + number(plotLeft + 8) + "\" y=\"" +
             number(laneTop + laneHeight * 0.66) + "\">No active time recorded.</text>\n";
    }
    s += "<g class=\"axis\">\n";
    for (const HourTick& tick : hourTicks(day, range)) {
        const double tx = x(tick.atMs);
        s += "<line class=\"tick\" x1=\"" + number(tx) + "\" x2=\"" + number(tx) + "\" y1=\"" +
             number(laneTop - 4) + "\" y2=\"" + number(lanesBottom) + "\"/>";
        s += "<text class=\"tick-label\" x=\"" + number(tx) + "\" y=\"" + number(lanesBottom + 16) +
             "\">" + tick.label + "</text>\n";
    }
    s += "</g>\n<g class=\"shading\" style=\"stroke-width: " + number(lanesBottom - laneTop + 4) +
         "\">\n";
    const double pixelMs = spanMs / (plotRight - plotLeft);
    const RowDrawing::Geometry shade{x, pixelMs, laneTop - 4, lanesBottom - laneTop + 4};
    RowDrawing awayRow(shade, "away", "", day), unavailableRow(shade, "unavailable", "", day);
    for (const Piece& piece : day.pieces) {
        if (away(piece.event.state)) {
            awayRow.add(piece, stateLabel(piece.event.state), tooltip(piece));
        } else if (piece.event.state == ActivityState::unavailable) {
            unavailableRow.add(piece, stateLabel(piece.event.state), tooltip(piece));
        }
    }
    s += awayRow.finish() + unavailableRow.finish() + "</g>\n";
    std::map<std::string_view, std::size_t> laneIndex;
    std::vector<RowDrawing::Geometry> laneGeometry;
    std::vector<RowDrawing> laneRows;
    laneGeometry.reserve(lanes.size());
    laneRows.reserve(lanes.size());
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        laneIndex[lanes[lane].name] = lane;
        laneGeometry.push_back(
            {x, pixelMs, laneTop + static_cast<double>(lane) * (laneHeight + laneGap), laneHeight});
        laneRows.emplace_back(laneGeometry.back(), "event",
                              colourOf(lanes[lane].name, lanes[lane].category), day);
    }
    for (const Piece& piece : day.pieces) {
        if (piece.event.state != ActivityState::active) {
            continue;
        }
        const std::size_t lane = laneIndex[laneOf(grouper_, piece.event, scratch)];
        laneRows[lane].add(piece,
                           piece.event.app.empty() ? std::string("(unknown app)")
                                                   : std::string(piece.event.app),
                           tooltip(piece));
    }
    for (std::size_t lane = 0; lane < lanes.size(); ++lane) {
        s += "<g class=\"lane\" data-lane=\"" + escapeHtml(lanes[lane].name) +
             "\" style=\"stroke: " + colourOf(lanes[lane].name, lanes[lane].category) + "\">\n" +
             laneRows[lane].finish() + "</g>\n";
    }
    // Each band's label on it when it fits there whole, and always in its tooltip and in
    // the legend: a label cut to its first letter names nothing.
    std::vector<std::pair<std::string, std::string>> tagTimes; // label, its times on the day
    for (const TagSpan& band : bands) {
        const std::string& label = band.tag->label;
        const double bx = x(band.fromMs);
        const double bw = std::max(x(band.toMs) - bx, 0.5);
        const std::string times =
            clockOn(day, band.fromMs) + "\xE2\x80\x93" +
            (band.toMs == day.midnightAfterMs ? std::string("24:00") : clockOn(day, band.toMs));
        const std::string title = label + "\n" + times;
        s += "<g class=\"tagged\" data-tag=\"" + escapeHtml(label) + "\"><rect class=\"tag\" x=\"" +
             number(bx) + "\" y=\"4\" width=\"" + number(bw) + "\" height=\"" +
             number(lanesBottom - 4) + "\"><title>" + escapeHtml(title) + "</title></rect>";
        if (tagLabelUnits(label) <= bw) {
            s += clippedText(bx + 3, 4, bw - 4, tagRowHeight - 2, "tag-label", label, title);
        }
        s += "</g>\n";
        const auto named = std::find_if(tagTimes.begin(), tagTimes.end(),
                                        [&](const auto& tag) { return tag.first == label; });
        if (named == tagTimes.end()) {
            tagTimes.emplace_back(label, times);
        } else {
            named->second += ", " + times;
        }
    }
    s += "</svg>\n<p class=\"legend\">Shaded:<span class=\"swatch\" style=\"background: "
         "#8c8c9947\"></span>away (idle, locked)<span class=\"swatch\" style=\"background: "
         "#d627281f\"></span>collector unavailable";
    if (!bands.empty()) {
        s += "<span class=\"swatch\" style=\"background: #f2b13429; border: 1px dashed "
             "#c98a00\"></span>tagged:";
        for (std::size_t i = 0; i < tagTimes.size(); ++i) {
            s += std::string(i == 0 ? " " : ", ") + "<span class=\"tag-name\">" +
                 escapeHtml(tagTimes[i].first) + "</span> (" + tagTimes[i].second + ")";
        }
    }
    s += "</p>\n<div class=\"tables\">\n" +
         tableHtml(tableOf(dayTotals, options_.includeAway), options_.by) + documentsHtml(day) +
         "</div>\n" + coverageHtml(dayTotals.coverage, false) + "</section>\n";
    (overview_ ? static_cast<std::ostream&>(days_) : out_) << s;
}

void HtmlPage::endEmptyDays() {
    if (!emptyFirst_ || !emptyLast_) {
        return;
    }
    const std::string first = logformat::formatDate(*emptyFirst_);
    const std::int64_t count =
        logformat::daysFromCivil(*emptyLast_) - logformat::daysFromCivil(*emptyFirst_) + 1;
    std::string s = "<section class=\"day empty\" id=\"day-" + first +
                    "\">\n<p class=\"empty\">Nothing was recorded ";
    s += count == 1 ? "on " + weekdayOf(*emptyFirst_) + " " + first
                    : "from " + weekdayOf(*emptyFirst_) + " " + first + " to " +
                          weekdayOf(*emptyLast_) + " " + logformat::formatDate(*emptyLast_) + " (" +
                          std::to_string(count) + " days)";
    s += ".</p>\n</section>\n";
    (overview_ ? static_cast<std::ostream&>(days_) : out_) << s;
    emptyFirst_.reset();
    emptyLast_.reset();
}

bool HtmlPage::finish(const Summary& overall) {
    endEmptyDays();
    if (overview_) {
        out_ << "<section class=\"overview\">\n<h2>Overview, "
             << daysLabel(overall.first, overall.last) << "</h2>\n"
             << overviewHtml(bars_, [&](const std::string& lane) { return colourOf(lane); })
             << "</section>\n";
        days_.flush();
        const bool written = !days_.fail();
        days_.seekg(0);
        if (days_.peek() != std::char_traits<char>::eof()) {
            out_ << days_.rdbuf();
        }
        days_.close();
        std::error_code error;
        std::filesystem::remove(daysFile_, error);
        if (!written) {
            out_.setstate(std::ios::failbit);
        }
    }
    if (dayCount_ > 1) {
        out_ << "<section class=\"all\">\n<h2>All days, " << daysLabel(overall.first, overall.last)
             << "</h2>\n"
             << tableHtml(overall.table, overall.by)
             << coverageHtml(overall.coverage, overall.first != overall.last) << "</section>\n";
    }
    out_ << "</body>\n</html>\n";
    out_.close();
    return !out_.fail();
}

} // namespace report
