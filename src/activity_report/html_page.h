// The --html page: per selected day a timeline in inline SVG and its totals, one
// self-contained file (no script, no network, nothing else to load), a page per day
// when printed.
#pragma once

#include "activity_report/day_log.h"
#include "activity_report/render.h"

#include <fstream>
#include <string>
#include <vector>

namespace report {

// TEXT with &, <, >, " and ' as character references, and control characters but the
// line feed shown as U+FFFD: safe as element text and in quoted attributes.
std::string escapeHtml(std::string_view text);

// The hours on a day's axis as its clock shows them: on the day the clocks go back an
// hour, 01 comes twice; on the day they go forward, 02 never comes. The day's end is 24.
struct HourTick {
    std::int64_t atMs = 0;
    std::string label;
    friend bool operator==(const HourTick&, const HourTick&) = default;
};
std::vector<HourTick> hourTicks(const Day& day);

// The page, written a day at a time, so that a year of days needs no more memory
// than one.
class HtmlPage {
  public:
    // False when FILE can't be created.
    bool open(const std::filesystem::path& file, const ReportOptions& options);
    void addDay(const Day& day, const Totals& dayTotals);
    // The totals of all days (after the days, when there are several), and the end.
    // False when the file couldn't be written whole.
    bool finish(const Summary& overall);

  private:
    std::ofstream out_;
    ReportOptions options_;
    std::size_t days_ = 0;
};

} // namespace report
