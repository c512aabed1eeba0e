// --format timesheet: hours per day and project, as a spreadsheet takes them.
#pragma once

#include "activity_report/day_log.h"
#include "activity_report/report_options.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace report {

// A stretch of the day's time that counts for a project (active time by the rules, or
// time a tag labels).
struct ProjectTime {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::string project;
};

// A project's time on one timesheet day, in blocks: each a maximal run of the
// project's time, runs less than MERGE_GAP_MS apart joined. A joined gap adds only the
// time in it that no project has (away, not recorded), and that to one block alone:
// the project worked on just before it if its gap is joined, else the one just after.
// Blocks of less than MIN_BLOCK_MS are left out. Times may overlap (several machines):
// a project's time counts once.
std::map<std::string, std::int64_t> blockTotals(const std::vector<ProjectTime>& times,
                                                std::int64_t mergeGapMs, std::int64_t minBlockMs);

// MS rounded to whole ROUND_MINUTES, half up, as hours: "1.25", "0.1667".
std::string roundedHours(std::int64_t ms, int roundMinutes);

// The timesheet, built from the days as they are read (the selection and, when days
// start after midnight, the morning after it), a day's time at a time.
class TimesheetBuilder {
  public:
    // The days FIRST..LAST are the timesheet's; others read are only their neighbours.
    TimesheetBuilder(const TimesheetOptions& options, const logformat::CivilDate& first,
                     const logformat::CivilDate& last);
    // DAY's project time, from its own midnight to the next.
    void addDay(const Day& day, std::vector<ProjectTime> times);
    // The CSV, header and rows, CR LF.
    std::string finish();
    // After finish: why the sheet has no row, for a sheet of its header alone (the time
    // there was, and what left it out); empty when it has rows.
    std::string emptyReason() const;

  private:
    void closeSheetDay();

    TimesheetOptions options_;
    std::int64_t firstDay_ = 0;
    std::int64_t lastDay_ = 0;
    // The timesheet day being gathered, and its time so far.
    std::int64_t sheetDay_ = 0;
    bool open_ = false;
    std::vector<ProjectTime> gathered_;
    std::string rows_;
    // What the days held and where it went, for a sheet left without rows.
    std::size_t rowCount_ = 0;
    bool anyTime_ = false;           // project time on some day of the sheet
    std::size_t roundedAway_ = 0;    // rows under half the rounding
    std::int64_t roundedAwayMs_ = 0; // their time
    std::int64_t longestAwayMs_ = 0; // the longest of them
};

// The moment a local day's timesheet starts: DAY's own clock at MINUTES past midnight.
std::int64_t sheetStartOf(const Day& day, int minutes);

} // namespace report
