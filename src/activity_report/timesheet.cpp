#include "activity_report/timesheet.h"

#include "activity_report/render.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace report {

namespace {

constexpr std::int64_t minuteMs = 60'000;

struct Span {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
};

// SPANS sorted and overlapping ones joined.
std::vector<Span> unionOf(std::vector<Span> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.fromMs < b.fromMs; });
    std::vector<Span> out;
    for (const Span& span : spans) {
        if (span.toMs <= span.fromMs) {
            continue;
        }
        if (!out.empty() && span.fromMs <= out.back().toMs) {
            out.back().toMs = std::max(out.back().toMs, span.toMs);
        } else {
            out.push_back(span);
        }
    }
    return out;
}

} // namespace

std::map<std::string, std::int64_t> blockTotals(const std::vector<ProjectTime>& times,
                                                std::int64_t mergeGapMs, std::int64_t minBlockMs) {
    // Each project's own time, and everyone's.
    std::map<std::string, std::vector<Span>> own;
    std::vector<Span> all;
    for (const ProjectTime& time : times) {
        own[time.project].push_back({time.fromMs, time.toMs});
        all.push_back({time.fromMs, time.toMs});
    }
    for (auto& [project, spans] : own) {
        spans = unionOf(std::move(spans));
    }
    all = unionOf(std::move(all));

    // Whether the gap of PROJECT's that begins at AT_MS (one of its ends) is joined; and
    // the one that ends at AT_MS (one of its starts).
    const auto joinedAfter = [&](const std::vector<Span>& spans, std::int64_t atMs) {
        const auto next =
            std::lower_bound(spans.begin(), spans.end(), atMs,
                             [](const Span& s, std::int64_t at) { return s.fromMs < at; });
        return next != spans.end() && next != spans.begin() && std::prev(next)->toMs == atMs &&
               next->fromMs - atMs < mergeGapMs;
    };
    const auto joinedBefore = [&](const std::vector<Span>& spans, std::int64_t atMs) {
        const auto at =
            std::lower_bound(spans.begin(), spans.end(), atMs,
                             [](const Span& s, std::int64_t t) { return s.fromMs < t; });
        return at != spans.end() && at != spans.begin() && at->fromMs == atMs &&
               atMs - std::prev(at)->toMs < mergeGapMs;
    };
    // The time no project has, between two stretches of someone's, goes to one project
    // at most: the one just before it, if its gap is joined over it, else the one just
    // after it. So no moment counts twice.
    std::map<std::string, std::vector<Span>> filled;
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        const Span hole{all[i].toMs, all[i + 1].fromMs};
        const std::string* taker = nullptr;
        for (const auto& [project, spans] : own) {
            if (joinedAfter(spans, hole.fromMs)) {
                taker = &project;
                break;
            }
        }
        if (taker == nullptr) {
            for (const auto& [project, spans] : own) {
                if (joinedBefore(spans, hole.toMs)) {
                    taker = &project;
                    break;
                }
            }
        }
        if (taker != nullptr) {
            filled[*taker].push_back(hole);
        }
    }

    std::map<std::string, std::int64_t> totals;
    for (const auto& [project, spans] : own) {
        const std::vector<Span>& holes = filled[project];
        std::size_t hole = 0;
        std::int64_t block = 0;
        std::int64_t total = 0;
        for (std::size_t s = 0; s < spans.size(); ++s) {
            block += spans[s].toMs - spans[s].fromMs;
            const bool joined =
                s + 1 < spans.size() && spans[s + 1].fromMs - spans[s].toMs < mergeGapMs;
            if (joined) {
                // The gap's own unclaimed time given to this project.
                while (hole < holes.size() && holes[hole].fromMs < spans[s + 1].fromMs) {
                    if (holes[hole].fromMs >= spans[s].toMs) {
                        block += holes[hole].toMs - holes[hole].fromMs;
                    }
                    ++hole;
                }
                continue;
            }
            if (block >= minBlockMs) {
                total += block;
            }
            block = 0;
        }
        if (total > 0) {
            totals[project] = total;
        }
    }
    return totals;
}

std::string roundedHours(std::int64_t ms, int roundMinutes) {
    const std::int64_t unit = std::int64_t{roundMinutes} * minuteMs;
    const std::int64_t minutes = (std::max<std::int64_t>(ms, 0) + unit / 2) / unit * roundMinutes;
    // Hundredths when every multiple of the rounding is exact in them (a multiple of 3
    // minutes: quarters, tenths of an hour), else ten-thousandths for every value, so a
    // sheet's column has one precision throughout.
    char text[48];
    if (roundMinutes % 3 == 0) {
        const std::int64_t hundredths = minutes * 100 / 60;
        std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(hundredths / 100),
                      static_cast<long long>(hundredths % 100));
    } else {
        const std::int64_t parts = (minutes * 20000 / 60 + 1) / 2;
        std::snprintf(text, sizeof text, "%lld.%04lld", static_cast<long long>(parts / 10000),
                      static_cast<long long>(parts % 10000));
    }
    return text;
}

std::int64_t sheetStartOf(const Day& day, int minutes) {
    const std::int64_t byFirstOffset = day.midnightBeforeMs + std::int64_t{minutes} * minuteMs;
    if (day.offsets.empty()) {
        return byFirstOffset;
    }
    // After a change of the clock, the same reading is that much earlier or later.
    std::int64_t start = byFirstOffset;
    for (const LocalOffset& offset : day.offsets) {
        const std::int64_t moved =
            byFirstOffset - std::int64_t{offset.minutes - day.offsets.front().minutes} * minuteMs;
        if (offset.fromMs <= moved) {
            start = moved;
        }
    }
    return start;
}

TimesheetBuilder::TimesheetBuilder(const TimesheetOptions& options,
                                   const logformat::CivilDate& first,
                                   const logformat::CivilDate& last)
    : options_(options), firstDay_(logformat::daysFromCivil(first)),
      lastDay_(logformat::daysFromCivil(last)) {
    rows_ = "date,project,hours\r\n";
}

void TimesheetBuilder::addDay(const Day& day, std::vector<ProjectTime> times) {
    const std::int64_t number = logformat::daysFromCivil(day.date);
    const std::int64_t start = sheetStartOf(day, options_.dayStartsMinutes);
    // The day's morning before the timesheet day starts belongs to the day before.
    std::vector<ProjectTime> later;
    for (ProjectTime& time : times) {
        if (time.fromMs < start && open_ && sheetDay_ == number - 1) {
            gathered_.push_back({time.fromMs, std::min(time.toMs, start), time.project});
        }
        if (time.toMs > start) {
            later.push_back({std::max(time.fromMs, start), time.toMs, std::move(time.project)});
        }
    }
    closeSheetDay();
    sheetDay_ = number;
    open_ = true;
    gathered_ = std::move(later);
}

void TimesheetBuilder::closeSheetDay() {
    if (!open_) {
        return;
    }
    open_ = false;
    if (sheetDay_ < firstDay_ || sheetDay_ > lastDay_) {
        gathered_.clear();
        return;
    }
    anyTime_ = anyTime_ || std::any_of(gathered_.begin(), gathered_.end(),
                                       [](const ProjectTime& t) { return t.toMs > t.fromMs; });
    const auto totals = blockTotals(gathered_, std::int64_t{options_.mergeGapMinutes} * minuteMs,
                                    std::int64_t{options_.minBlockMinutes} * minuteMs);
    const std::string date = logformat::formatDate(logformat::civilFromDays(sheetDay_));
    for (const auto& [project, ms] : totals) {
        const std::string hours = roundedHours(ms, options_.roundMinutes);
        if (hours.find_first_not_of("0.") == std::string::npos) {
            // Nothing left once rounded.
            ++roundedAway_;
            roundedAwayMs_ += ms;
            longestAwayMs_ = std::max(longestAwayMs_, ms);
            continue;
        }
        rows_ += date + "," + csvField(project) + "," + hours + "\r\n";
        ++rowCount_;
    }
    gathered_.clear();
}

std::string TimesheetBuilder::finish() {
    closeSheetDay();
    return rows_;
}

std::string TimesheetBuilder::emptyReason() const {
    if (rowCount_ > 0) {
        return {};
    }
    if (!anyTime_) {
        return "no active or tagged time on " +
               daysLabel(logformat::civilFromDays(firstDay_), logformat::civilFromDays(lastDay_));
    }
    if (roundedAway_ == 0) {
        return "every block of project time is shorter than --min-block " +
               std::to_string(options_.minBlockMinutes) + " minutes";
    }
    const std::string rows = std::to_string(roundedAway_) + (roundedAway_ == 1 ? " row" : " rows");
    return rows + " of " + formatClock(roundedAwayMs_) + " in all (the longest " +
           formatClock(longestAwayMs_) + ") round to nothing at --round " +
           std::to_string(options_.roundMinutes) + ": a row needs at least half of " +
           std::to_string(options_.roundMinutes) + " minutes";
}

} // namespace report
