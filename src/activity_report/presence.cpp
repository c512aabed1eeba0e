#include "activity_report/presence.h"

#include <algorithm>

namespace report {

void presenceEdges(const Day& day, std::vector<PresenceEdge>& edges) {
    edges.clear();
    edges.reserve(day.pieces.size() * 2 + (day.summaries.empty() ? 0 : 64));
    const auto add = [&](std::int64_t fromMs, std::int64_t toMs, int presence, std::int32_t piece) {
        const std::int64_t from = std::max(fromMs, day.spanStartMs);
        const std::int64_t to = std::min(toMs, day.spanEndMs);
        if (from < to) {
            const auto p = static_cast<std::int16_t>(presence);
            edges.push_back({from, piece, p, 1});
            edges.push_back({to, piece, p, -1});
        }
    };
    for (std::size_t i = 0; i < day.pieces.size(); ++i) {
        const Piece& piece = day.pieces[i];
        add(piece.fromMs, piece.toMs, presenceOf(piece.event.state), static_cast<std::int32_t>(i));
    }
    for (const DaySummary& summary : day.summaries) {
        for (const PresenceSpan& span : summary.presence) {
            add(span.fromMs, span.toMs, span.presence, -1);
        }
    }
    // One folder's pieces follow each other: their edges come in order already.
    const auto byMoment = [](const PresenceEdge& a, const PresenceEdge& b) {
        return a.atMs < b.atMs;
    };
    if (!std::is_sorted(edges.begin(), edges.end(), byMoment)) {
        std::sort(edges.begin(), edges.end(), byMoment);
    }
}

} // namespace report
