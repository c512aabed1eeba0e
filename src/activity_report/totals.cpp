#include "activity_report/totals.h"

#include "activity_report/attribution.h"
#include "activity_report/categories.h"
#include "activity_report/day_axis.h"
#include "activity_report/presence.h"

#include <algorithm>

namespace report {

using logformat::ActivityState;

std::string_view folderOf(std::string_view url) {
    const std::size_t slash = url.find_last_of("/\\");
    if (slash == std::string_view::npos) {
        return {};
    }
    // The root keeps its slash: "/" or "C:/".
    if (slash == 0 || (slash == 2 && url[1] == ':')) {
        return url.substr(0, slash + 1);
    }
    return url.substr(0, slash);
}

std::string_view groupName(const logformat::LogEvent& event, GroupBy by, std::string& scratch) {
    const auto orNone = [](std::string_view text, std::string_view none) {
        return text.empty() ? none : text;
    };
    switch (by) {
    case GroupBy::app:
        return orNone(event.app, "(unknown app)");
    case GroupBy::category:
        scratch = categoryName(event.category);
        return scratch;
    case GroupBy::doc:
        return orNone(event.doc, "(no document)");
    case GroupBy::folder:
        return orNone(folderOf(event.url), "(no folder)");
    case GroupBy::title:
        return orNone(event.title, "(no title)");
    case GroupBy::project:
        return uncategorised; // without rules; Grouper applies them
    }
    return {};
}

std::string_view projectAtDepth(std::string_view path, int depth) {
    if (depth <= 0) {
        return path;
    }
    std::size_t at = 0;
    for (int level = 0; level < depth; ++level) {
        at = path.find('/', at);
        if (at == std::string_view::npos) {
            return path;
        }
        if (level + 1 < depth) {
            ++at;
        }
    }
    return path.substr(0, at);
}

std::string_view Grouper::nameOf(const logformat::LogEvent& event, std::string& scratch) const {
    if (by != GroupBy::project) {
        return groupName(event, by, scratch);
    }
    const std::string_view project = projects ? projects->projectOf(event) : uncategorised;
    return projectAtDepth(project, depth);
}

std::string_view Grouper::nameOf(const Piece& piece, std::string& scratch) const {
    if (by == GroupBy::project && piece.project.data() != nullptr) {
        return projectAtDepth(piece.project, depth);
    }
    return nameOf(piece.event, scratch);
}

namespace {

// How much of [FROM_MS, TO_MS) SPANS (in order, apart) lie over.
std::int64_t taggedWithin(const std::vector<TagSpan>& spans, std::int64_t fromMs,
                          std::int64_t toMs) {
    auto span = std::lower_bound(spans.begin(), spans.end(), fromMs,
                                 [](const TagSpan& s, std::int64_t at) { return s.toMs <= at; });
    std::int64_t ms = 0;
    for (; span != spans.end() && span->fromMs < toMs; ++span) {
        ms += std::min(toMs, span->toMs) - std::max(fromMs, span->fromMs);
    }
    return ms;
}

// Extends C's recorded extent by a recorded run [FROM, TO); time since the last one is
// a gap between.
void addRecorded(Coverage& c, const logformat::Timestamp& from, const logformat::Timestamp& to) {
    if (!c.firstRecorded) {
        c.firstRecorded = from;
    }
    if (c.lastRecorded && from.unixMs > c.lastRecorded->unixMs) {
        const std::int64_t ms = from.unixMs - c.lastRecorded->unixMs;
        c.notRecordedBetweenMs += ms;
        if (ms >= 1000) {
            ++c.gapsBetween;
            // Kept longest first; an equal one later in time after it.
            std::size_t at = c.longestGapCount;
            while (at > 0 &&
                   c.longestGaps[at - 1].to.unixMs - c.longestGaps[at - 1].from.unixMs < ms) {
                if (at < c.longestGaps.size()) {
                    c.longestGaps[at] = c.longestGaps[at - 1];
                }
                --at;
            }
            if (at < c.longestGaps.size()) {
                c.longestGaps[at] = {*c.lastRecorded, from};
                c.longestGapCount = std::min(c.longestGapCount + 1, c.longestGaps.size());
            }
        }
    }
    if (!c.lastRecorded || to.unixMs > c.lastRecorded->unixMs) {
        c.lastRecorded = to;
    }
}

} // namespace

void TotalsBuilder::gap(std::int64_t fromMs, std::int64_t toMs) {
    if (gapFrom_ && gapTo_ == fromMs) {
        gapTo_ = toMs;
        return;
    }
    if (gapFrom_ && gapTo_ - *gapFrom_ > 60'000) {
        ++totals_.coverage.gapsOverAMinute;
    }
    gapFrom_ = fromMs;
    gapTo_ = toMs;
}

Totals TotalsBuilder::addDay(const Day& day) {
    Totals own;
    std::string scratch;
    // A day no tag touches takes no more than the pieces' own sums.
    const std::vector<TagSpan> spans =
        tags_.empty() ? std::vector<TagSpan>{} : tagSpans(tags_, day.spanStartMs, day.spanEndMs);
    // Projects: tagged time counts under the tag's label, whatever the event there (each
    // moment once), and the events' own time only where no tag lies.
    const bool tagsHoldTime = grouper_.by == GroupBy::project && !spans.empty();
    for (const Piece& piece : day.pieces) {
        const std::int64_t ms = piece.toMs - piece.fromMs -
                                (tagsHoldTime ? taggedWithin(spans, piece.fromMs, piece.toMs) : 0);
        own.byState[static_cast<std::size_t>(piece.event.state)] += ms;
        if (piece.event.state == ActivityState::active) {
            addTime(own.activeByGroup, grouper_.nameOf(piece, scratch), ms);
        }
    }
    if (tagsHoldTime) {
        for (const TagSpan& span : spans) {
            addTime(own.activeByGroup, projectAtDepth(span.tag->label, grouper_.depth),
                    span.toMs - span.fromMs);
        }
    }
    // Days taken from their summaries: the same sums, made when the day was read.
    for (const DaySummary& summary : day.summaries) {
        for (std::size_t s = 0; s < own.byState.size(); ++s) {
            own.byState[s] += summary.byState[s];
        }
        if (grouper_.by == GroupBy::project) {
            for (const auto& [path, ms] : summary.projects) {
                addTime(own.activeByGroup, projectAtDepth(path, grouper_.depth), ms);
            }
        } else {
            for (const auto& [name, ms] : summary.groups[static_cast<std::size_t>(grouper_.by)]) {
                addTime(own.activeByGroup, name, ms);
            }
        }
    }

    Coverage& coverage = own.coverage;
    coverage.spanMs = day.spanEndMs - day.spanStartMs;
    presenceEdges(day, edges_);
    sweepPresence(day, edges_,
                  [&](std::int64_t from, std::int64_t until, int presence, std::int32_t) {
                      const std::int64_t ms = until - from;
                      if (presence > 0) {
                          const logformat::Timestamp start{from, offsetOn(day, from)};
                          // The end by the clock just before it, as the hours are drawn.
                          const logformat::Timestamp end{until, offsetOn(day, until - 1)};
                          addRecorded(coverage, start, end);
                          addRecorded(totals_.coverage, start, end);
                      }
                      switch (presence) {
                      case 4:
                          coverage.activeMs += ms;
                          break;
                      case 3:
                          coverage.awayMs += ms;
                          break;
                      case 2:
                          coverage.noWindowMs += ms;
                          break;
                      case 1:
                          coverage.unavailableMs += ms;
                          break;
                      default: {
                          coverage.notRecordedMs += ms;
                          if (ms > 60'000) {
                              ++coverage.gapsOverAMinute;
                          }
                          gap(from, until);
                      }
                      }
                  });
    for (const TagSpan& span : spans) {
        coverage.taggedMs += span.toMs - span.fromMs;
    }

    for (const auto& [name, ms] : own.activeByGroup) {
        totals_.activeByGroup[name] += ms;
    }
    for (std::size_t s = 0; s < own.byState.size(); ++s) {
        totals_.byState[s] += own.byState[s];
    }
    Coverage& all = totals_.coverage;
    all.spanMs += coverage.spanMs;
    all.activeMs += coverage.activeMs;
    all.awayMs += coverage.awayMs;
    all.noWindowMs += coverage.noWindowMs;
    all.unavailableMs += coverage.unavailableMs;
    all.notRecordedMs += coverage.notRecordedMs;
    all.taggedMs += coverage.taggedMs;
    return own;
}

Totals TotalsBuilder::finish() {
    if (gapFrom_ && gapTo_ - *gapFrom_ > 60'000) {
        ++totals_.coverage.gapsOverAMinute;
    }
    gapFrom_.reset();
    return totals_;
}

std::string stateRowName(ActivityState state) {
    switch (state) {
    case ActivityState::active:
        return "(active)";
    case ActivityState::idle:
        return "(idle)";
    case ActivityState::locked:
        return "(locked)";
    case ActivityState::none:
        return "(no window)";
    case ActivityState::unavailable:
        return "(unavailable)";
    }
    return {};
}

Table tableOf(const Totals& totals, bool includeAway) {
    Table table;
    for (const auto& [name, ms] : totals.activeByGroup) {
        if (ms > 0) {
            table.rows.push_back({name, ms});
        }
    }
    if (includeAway) {
        for (std::size_t s = 1; s < totals.byState.size(); ++s) {
            if (totals.byState[s] > 0) {
                table.rows.push_back(
                    {stateRowName(static_cast<ActivityState>(s)), totals.byState[s]});
            }
        }
    }
    std::sort(table.rows.begin(), table.rows.end(), [](const Row& a, const Row& b) {
        return a.ms != b.ms ? a.ms > b.ms : a.name < b.name;
    });
    for (const Row& row : table.rows) {
        table.totalMs += row.ms;
    }
    return table;
}

} // namespace report
