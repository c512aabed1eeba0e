// A day's moments by how present the user was, each moment once however many folders
// (machines) the day was read from: the coverage line and the day's attribution both
// walk the day so.
#pragma once

#include "activity_report/day_log.h"

#include <array>
#include <cstdint>
#include <vector>

namespace report {

// Where a piece of the day (or a summary's span) starts or ends.
struct PresenceEdge {
    std::int64_t atMs = 0;
    std::int32_t piece = -1; // the index in Day::pieces; -1 for a summary's span
    std::int16_t presence = 0;
    std::int16_t delta = 0; // +1 at the start, -1 at the end
};

// The edges of DAY's pieces and summaries within its span, in order of time.
void presenceEdges(const Day& day, std::vector<PresenceEdge>& edges);

// Walks DAY's span from its start to its end, calling ON_RUN(fromMs, toMs, presence,
// piece) for each run of time in which no edge lies: PRESENCE is the most present state
// of any folder then (presenceOf; 0 where nothing was recorded) and PIECE, for active
// time, the active piece that started last (on two machines used side by side, the
// window brought to the front most recently), or -1 when it came from a summary.
template <typename OnRun>
void sweepPresence(const Day& day, const std::vector<PresenceEdge>& edges, OnRun&& onRun) {
    std::array<int, 5> open{};
    std::vector<std::int32_t> active; // open active pieces, in the order they started
    std::int64_t at = day.spanStartMs;
    const auto runUntil = [&](std::int64_t until) {
        if (until <= at) {
            return;
        }
        int best = 0;
        for (int p = 4; p > 0; --p) {
            if (open[static_cast<std::size_t>(p)] > 0) {
                best = p;
                break;
            }
        }
        onRun(at, until, best, best == 4 && !active.empty() ? active.back() : -1);
        at = until;
    };
    for (const PresenceEdge& edge : edges) {
        runUntil(edge.atMs);
        open[static_cast<std::size_t>(edge.presence)] += edge.delta;
        if (edge.presence == 4 && edge.piece >= 0) {
            if (edge.delta > 0) {
                active.push_back(edge.piece);
            } else {
                std::erase(active, edge.piece);
            }
        }
    }
    runUntil(day.spanEndMs);
}

} // namespace report
