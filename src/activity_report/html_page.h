// The --html page: per selected day a timeline in inline SVG, its totals and its top
// documents; over a week or more, an overview of the days first. One self-contained
// file (no script, no network, nothing else to load), a page per day when printed.
#pragma once

#include "activity_report/day_axis.h"
#include "activity_report/day_log.h"
#include "activity_report/render.h"
#include "activity_report/tags.h"
#include "activity_report/totals.h"

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace report {

// TEXT with &, <, >, " and ' as character references, and control characters but the
// line feed shown as U+FFFD: safe as element text and in quoted attributes.
std::string escapeHtml(std::string_view text);

// The lane an active event is drawn in: its project (at the chosen depth) when grouping
// by project, else its category.
std::string_view laneOf(const Grouper& grouper, const logformat::LogEvent& event,
                        std::string& scratch);

// A day's time per lane, for the overview.
struct DayBar {
    logformat::CivilDate date;
    std::vector<std::pair<std::string, std::int64_t>> times;
};

// The page, written a day at a time, so that a year of days needs no more memory
// than one. When the selection is long enough for an overview, which comes first but
// is known only at the end, the days wait in a file beside the page.
class HtmlPage {
  public:
    HtmlPage() = default;
    HtmlPage(const HtmlPage&) = delete;
    HtmlPage& operator=(const HtmlPage&) = delete;
    // A page left unfinished takes the file beside it away.
    ~HtmlPage();
    // False when FILE (or the file beside it) can't be created.
    bool open(const std::filesystem::path& file, const ReportOptions& options,
              const Grouper& grouper);
    // The tags in effect, drawn as bands across the lanes of the days they lie on.
    void useTags(std::vector<Tag> tags) { tags_ = std::move(tags); }
    void addDay(const Day& day, const Totals& dayTotals);
    // The overview, the days, the totals of all days (when there are several), and
    // the end. False when the file couldn't be written whole.
    bool finish(const Summary& overall);

  private:
    std::string colourOf(const std::string& lane, std::int64_t category = -1);
    // Writes the run of days with nothing recorded that waits, as one line.
    void endEmptyDays();

    std::ofstream out_;
    std::filesystem::path daysFile_;
    std::fstream days_; // the days, while the overview is to come
    bool overview_ = false;
    ReportOptions options_;
    Grouper grouper_;
    std::vector<Tag> tags_;
    std::size_t dayCount_ = 0;
    std::vector<DayBar> bars_;
    std::map<std::string, std::string> colours_;     // a lane's colour, the same on every day
    std::optional<logformat::CivilDate> emptyFirst_; // the run of empty days not yet written
    std::optional<logformat::CivilDate> emptyLast_;
};

// The overview's SVG and legend: per day a bar of its time stacked by lane, the
// largest lanes named and the rest as "Other".
std::string overviewHtml(const std::vector<DayBar>& bars,
                         const std::function<std::string(const std::string&)>& colourOf);

} // namespace report
