#include "activity_report/attribution.h"

#include "activity_report/presence.h"

#include <algorithm>

namespace report {

std::vector<TagSpan> tagSpans(const std::vector<Tag>& tags, std::int64_t fromMs,
                              std::int64_t toMs) {
    std::vector<const Tag*> touching;
    std::vector<std::int64_t> bounds{fromMs, toMs};
    for (const Tag& tag : tags) {
        if (tag.fromMs < toMs && tag.toMs > fromMs) {
            touching.push_back(&tag);
            bounds.push_back(std::max(tag.fromMs, fromMs));
            bounds.push_back(std::min(tag.toMs, toMs));
        }
    }
    std::vector<TagSpan> spans;
    if (touching.empty()) {
        return spans;
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const std::int64_t from = bounds[i], to = bounds[i + 1];
        const Tag* holder = nullptr;
        for (const Tag* tag : touching) {
            // Made later wins; of two made at once, the later in the list.
            if (tag->fromMs <= from && tag->toMs >= to &&
                (holder == nullptr || tag->madeMs >= holder->madeMs)) {
                holder = tag;
            }
        }
        if (holder == nullptr) {
            continue;
        }
        if (!spans.empty() && spans.back().tag == holder && spans.back().toMs == from) {
            spans.back().toMs = to;
        } else {
            spans.push_back({from, to, holder});
        }
    }
    return spans;
}

std::vector<Stretch> attributeDay(const Day& day, const std::vector<Tag>& tags,
                                  const std::function<std::string_view(const Piece&)>& nameOf) {
    const std::vector<TagSpan> spans = tagSpans(tags, day.spanStartMs, day.spanEndMs);
    std::vector<Stretch> stretches;
    const auto add = [&](std::int64_t from, std::int64_t to, Presence presence,
                         std::string_view label, bool tagged) {
        if (from >= to) {
            return;
        }
        if (!stretches.empty()) {
            Stretch& last = stretches.back();
            if (last.toMs == from && last.presence == presence && last.tagged == tagged &&
                last.label == label) {
                last.toMs = to;
                return;
            }
        }
        stretches.push_back({from, to, presence, std::string(label), tagged});
    };
    std::vector<PresenceEdge> edges;
    presenceEdges(day, edges);
    std::size_t next = 0; // the first tag span that doesn't end before the run
    sweepPresence(day, edges,
                  [&](std::int64_t from, std::int64_t to, int level, std::int32_t piece) {
                      const auto presence = static_cast<Presence>(level);
                      const std::string_view name =
                          piece >= 0 ? nameOf(day.pieces[static_cast<std::size_t>(piece)])
                                     : std::string_view{};
                      while (next < spans.size() && spans[next].toMs <= from) {
                          ++next;
                      }
                      std::int64_t at = from;
                      for (std::size_t s = next; s < spans.size() && spans[s].fromMs < to; ++s) {
                          add(at, spans[s].fromMs, presence, name, false);
                          const std::int64_t tagFrom = std::max(at, spans[s].fromMs);
                          const std::int64_t tagTo = std::min(to, spans[s].toMs);
                          add(tagFrom, tagTo, presence, spans[s].tag->label, true);
                          at = tagTo;
                      }
                      add(at, to, presence, name, false);
                  });
    return stretches;
}

} // namespace report
