// The page's overview of a week or more: a bar per day, stacked by lane.
#include "activity_report/html_page.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace report {

namespace {

constexpr double svgWidth = 1200;
constexpr double plotLeft = 56;
constexpr double plotRight = 1184;
constexpr double plotTop = 10;
constexpr double plotBottom = 230;
constexpr double svgHeight = 262;
// The largest lanes named in the legend; the rest, if more, are drawn together as
// "Everything else" ("Other" is category 0's name).
constexpr std::size_t namedLanes = 11;
constexpr const char* otherColour = "#cfcfd6";
constexpr std::int64_t hourMs = 3'600'000;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

const char* weekdayShort(const logformat::CivilDate& date) {
    static const char* const names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const std::int64_t days = logformat::daysFromCivil(date);
    return names[static_cast<std::size_t>(((days + 4) % 7 + 7) % 7)];
}

const char* monthShort(unsigned month) {
    static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return names[(month + 11) % 12];
}

// Under each bar of a week or two its weekday and date; under a month's, every few
// dates; under longer selections, the first of each month.
std::string dayLabel(const logformat::CivilDate& date, std::size_t index, std::size_t days) {
    if (days <= 14) {
        return std::string(weekdayShort(date)) + " " + std::to_string(date.day);
    }
    if (days <= 62) {
        const std::size_t every = (days + 30) / 31;
        return index % every == 0 ? std::to_string(date.day) : std::string();
    }
    return date.day == 1 ? std::string(monthShort(date.month)) : std::string();
}

} // namespace

std::string overviewHtml(const std::vector<DayBar>& bars,
                         const std::function<std::string(const std::string&)>& colourOf) {
    // The lanes by their time over all days, the largest at the bottom of each bar.
    std::map<std::string, std::int64_t> totals;
    std::int64_t tallest = 0;
    for (const DayBar& bar : bars) {
        std::int64_t sum = 0;
        for (const auto& [lane, ms] : bar.times) {
            totals[lane] += ms;
            sum += ms;
        }
        tallest = std::max(tallest, sum);
    }
    std::vector<std::pair<std::string, std::int64_t>> ranked(totals.begin(), totals.end());
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    // Ranks past the named lanes all share the last entry, "Everything else".
    std::map<std::string, std::size_t> rank;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        rank[ranked[i].first] = std::min(i, namedLanes);
    }
    std::vector<std::pair<std::string, std::string>> legend; // name, colour
    std::vector<std::int64_t> legendTimes;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        if (i >= namedLanes) {
            if (i == namedLanes) {
                legend.emplace_back("Everything else", otherColour);
                legendTimes.push_back(0);
            }
            legendTimes.back() += ranked[i].second;
        } else {
            legend.emplace_back(ranked[i].first, colourOf(ranked[i].first));
            legendTimes.push_back(ranked[i].second);
        }
    }

    // The scale: whole hours, a gridline every 1, 2, 3, 4, 6 or 12 of them.
    std::int64_t stepHours = 1;
    const std::int64_t hours = std::max<std::int64_t>((tallest + hourMs - 1) / hourMs, 1);
    for (const std::int64_t step : {1, 2, 3, 4, 6, 12}) {
        stepHours = step;
        if (hours / step <= 8) {
            break;
        }
    }
    const std::int64_t topHours = (hours + stepHours - 1) / stepHours * stepHours;
    const double perMs = (plotBottom - plotTop) / static_cast<double>(topHours * hourMs);

    std::string s = "<svg class=\"overview\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                    number(svgWidth) + " " + number(svgHeight) + "\" width=\"" + number(svgWidth) +
                    "\" height=\"" + number(svgHeight) +
                    "\" role=\"img\" aria-label=\"Active time per day\">\n<g class=\"scale\">\n";
    for (std::int64_t h = 0; h <= topHours; h += stepHours) {
        const double y = plotBottom - static_cast<double>(h * hourMs) * perMs;
        s += "<line class=\"tick\" x1=\"" + number(plotLeft) + "\" x2=\"" + number(plotRight) +
             "\" y1=\"" + number(y) + "\" y2=\"" + number(y) +
             "\"/><text class=\"scale-label\" x=\"" + number(plotLeft - 6) + "\" y=\"" +
             number(y + 4) + "\">" + std::to_string(h) + " h</text>\n";
    }
    s += "</g>\n";
    const double slot =
        (plotRight - plotLeft) / static_cast<double>(std::max<std::size_t>(bars.size(), 1));
    const double barWidth = std::max(slot * 0.72, 0.5);
    for (std::size_t d = 0; d < bars.size(); ++d) {
        const DayBar& bar = bars[d];
        const std::string date = logformat::formatDate(bar.date);
        const double left = plotLeft + slot * static_cast<double>(d) + (slot - barWidth) / 2;
        // The day's lanes, merged into "Everything else" where they rank low, from the bottom
        // up.
        std::vector<std::pair<std::size_t, std::int64_t>> parts;
        std::int64_t dayMs = 0;
        for (const auto& [lane, ms] : bar.times) {
            const std::size_t r = rank[lane];
            const auto found = std::find_if(parts.begin(), parts.end(),
                                            [&](const auto& part) { return part.first == r; });
            if (found == parts.end()) {
                parts.emplace_back(r, ms);
            } else {
                found->second += ms;
            }
            dayMs += ms;
        }
        std::sort(parts.begin(), parts.end());
        s += "<g class=\"day-bar\" data-day=\"" + date + "\">";
        double y = plotBottom;
        for (const auto& [r, ms] : parts) {
            const double h = static_cast<double>(ms) * perMs;
            y -= h;
            s += "<rect class=\"segment\" data-lane=\"" + escapeHtml(legend[r].first) +
                 "\" data-ms=\"" + std::to_string(ms) + "\" x=\"" + number(left) + "\" y=\"" +
                 number(y) + "\" width=\"" + number(barWidth) + "\" height=\"" + number(h) +
                 "\" fill=\"" + legend[r].second + "\"><title>" +
                 escapeHtml(std::string(weekdayShort(bar.date)) + " " + date + "\n" +
                            legend[r].first + " " + formatClock(ms) + " of " + formatClock(dayMs)) +
                 "</title></rect>";
        }
        const std::string label = dayLabel(bar.date, d, bars.size());
        if (!label.empty()) {
            s += "<text class=\"bar-label\" x=\"" + number(left + barWidth / 2) + "\" y=\"" +
                 number(plotBottom + 18) + "\">" + label + "</text>";
        }
        s += "</g>\n";
    }
    s += "</svg>\n<p class=\"legend\">";
    for (std::size_t i = 0; i < legend.size(); ++i) {
        s += "<span class=\"item\"><span class=\"swatch\" style=\"background: " + legend[i].second +
             "\"></span>" + escapeHtml(legend[i].first) + " " + formatClock(legendTimes[i]) +
             "</span>";
    }
    if (legend.empty()) {
        s += "No active time in these days.";
    }
    return s + "</p>\n";
}

} // namespace report
