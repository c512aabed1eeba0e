// The table for a terminal: as wide as the terminal (79 columns at most when not one),
// whatever the names.
#include "activity_report/project_tree.h"
#include "activity_report/render.h"
#include "activity_report/text_width.h"

#include <algorithm>

namespace report {

namespace {

constexpr std::size_t timeColumns = 10;
constexpr std::size_t shareColumns = 6;
constexpr std::size_t fullBarColumns = 25;
// A name, its time and share, the two spaces before the bar.
constexpr std::size_t fixedColumns = 1 + timeColumns + 1 + shareColumns + 2;

// How a line's columns are shared: the bar keeps its 25 while a name has 34 (79 columns
// in all); a wider line gives names what they need of the rest, a narrower one shrinks
// both.
struct Layout {
    std::size_t line = 79;
    std::size_t name = 34;
    std::size_t bar = fullBarColumns;
};

Layout layoutFor(int columns, std::size_t widestName) {
    Layout layout;
    layout.line = static_cast<std::size_t>(std::max(columns, 40));
    const std::size_t room = layout.line - fixedColumns;
    if (room >= 34 + fullBarColumns) {
        layout.name = std::min(room - fullBarColumns, std::max<std::size_t>(34, widestName));
    } else {
        layout.name = std::max<std::size_t>(12, room * 34 / (34 + fullBarColumns));
        layout.bar = room > layout.name ? room - layout.name : 0;
    }
    return layout;
}

std::string bar(std::int64_t part, std::int64_t whole, std::size_t barColumns) {
    if (whole <= 0 || part <= 0) {
        return {};
    }
    static const char* const eighths[] = {"",
                                          "\xE2\x96\x8F",
                                          "\xE2\x96\x8E",
                                          "\xE2\x96\x8D",
                                          "\xE2\x96\x8C",
                                          "\xE2\x96\x8B",
                                          "\xE2\x96\x8A",
                                          "\xE2\x96\x89"};
    const std::int64_t cells = part * static_cast<std::int64_t>(barColumns) * 8 / whole;
    std::string out;
    for (std::int64_t i = 0; i < cells / 8; ++i) {
        out += "\xE2\x96\x88"; // full block
    }
    return out + eighths[cells % 8];
}

std::string row(const Layout& layout, std::string_view name, std::string_view time,
                std::string_view share, std::string_view barText) {
    std::string line = padColumns(fitColumns(printable(name), layout.name), layout.name) + " " +
                       padColumns(time, timeColumns, true) + " " +
                       padColumns(share, shareColumns, true);
    if (!barText.empty()) {
        line += "  ";
        line += barText;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line + "\n";
}

// Items joined by ", " after LEAD, wrapped to the line width with an indent.
std::string wrapped(std::string_view lead, const std::vector<std::string>& items,
                    std::size_t lineColumns) {
    std::string out(lead);
    std::size_t column = displayWidth(lead);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
        const std::size_t width = displayWidth(item);
        if (column + 1 + width > lineColumns) {
            out += "\n ";
            column = 1;
        }
        out += " " + item;
        column += 1 + width;
    }
    return out + "\n";
}

std::string capitalised(std::string_view text) {
    std::string out(text);
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') {
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    }
    return out;
}

} // namespace

std::vector<std::string> coverageParts(const Coverage& c, bool withDates) {
    std::vector<std::string> parts;
    if (c.firstRecorded && c.lastRecorded) {
        // The end's date only when it differs from the start's.
        const std::string first = formatMoment(*c.firstRecorded, withDates);
        std::string last = formatMoment(*c.lastRecorded, withDates, true);
        if (withDates && last.compare(0, 11, first, 0, 11) == 0) {
            last.erase(0, 11);
        }
        parts.push_back("recorded " + first + " to " + last);
        if (c.gapsBetween == 0 && c.notRecordedBetweenMs < 1000) {
            parts.push_back("no gaps");
        } else {
            parts.push_back("not recorded between " + formatClock(c.notRecordedBetweenMs) + " in " +
                            std::to_string(c.gapsBetween) +
                            (c.gapsBetween == 1 ? " gap" : " gaps"));
            for (std::size_t i = 0; i < c.longestGapCount && c.gapsBetween > 1; ++i) {
                const Gap& gap = c.longestGaps[i];
                parts.push_back((i == 0 ? "longest " : "") +
                                formatClock(gap.to.unixMs - gap.from.unixMs) + " from " +
                                formatMoment(gap.from, withDates));
            }
            if (c.gapsBetween == 1 && c.longestGapCount > 0) {
                parts.back() += " from " + formatMoment(c.longestGaps[0].from, withDates);
            }
        }
    } else {
        parts.push_back("nothing recorded");
    }
    parts.push_back("active " + formatClock(c.activeMs));
    parts.push_back("away " + formatClock(c.awayMs));
    parts.push_back("no window " + formatClock(c.noWindowMs));
    parts.push_back("unavailable " + formatClock(c.unavailableMs));
    if (c.taggedMs > 0) {
        parts.push_back("tags over " + formatClock(c.taggedMs));
    }
    return parts;
}

std::string renderText(const Summary& summary) {
    const Table& table = summary.table;
    std::vector<std::pair<std::string, std::int64_t>> names;
    if (summary.by == GroupBy::project) {
        // Each level under its parent, which carries the time of all under it.
        for (const TreeRow& r : projectTree(table.rows)) {
            names.emplace_back(std::string(2 * static_cast<std::size_t>(r.level), ' ') + r.label,
                               r.ms);
        }
    } else {
        for (const Row& r : table.rows) {
            names.emplace_back(r.name, r.ms);
        }
    }
    std::size_t widest = 0;
    for (const auto& [name, ms] : names) {
        widest = std::max(widest, displayWidth(printable(name)));
    }
    const Layout layout = layoutFor(summary.columns, widest);
    std::string out =
        "Time by " + std::string(groupByName(summary.by)) + ", " +
        (summary.rangeLabel.empty() ? daysLabel(summary.first, summary.last) : summary.rangeLabel) +
        (summary.includeAway ? ", every state\n" : ", active time\n");
    out += "\n";
    if (table.rows.empty()) {
        out += summary.includeAway ? "Nothing recorded.\n" : "No active time recorded.\n";
    } else {
        out += row(layout, capitalised(groupByName(summary.by)), "Time", "Share", "");
        for (const auto& [name, ms] : names) {
            out += row(layout, name, formatClock(ms), formatPercent(ms, table.totalMs) + "%",
                       bar(ms, table.totalMs, layout.bar));
        }
        out += std::string(layout.name + 1 + timeColumns + 1 + shareColumns, '-') + "\n";
        out += row(layout, "Total", formatClock(table.totalMs), "100.0%", "");
    }
    out += "\n";
    if (!summary.includeAway) {
        std::vector<std::string> states;
        for (std::size_t s = 1; s < summary.byState.size(); ++s) {
            states.push_back(stateLabel(static_cast<logformat::ActivityState>(s)) + " " +
                             formatClock(summary.byState[s]));
        }
        out += wrapped("Not in the table:", states, layout.line);
    }
    const std::vector<std::string> coverage =
        coverageParts(summary.coverage, summary.first != summary.last);
    out += wrapped("Coverage:", coverage, layout.line);
    return out;
}

} // namespace report
