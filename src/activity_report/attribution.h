// A day as labelled stretches of time: where tags lie, their labels, whatever was
// recorded there; elsewhere the name active time counts under. The timesheet and the
// page draw on it.
#pragma once

#include "activity_report/day_log.h"
#include "activity_report/tags.h"
#include "logformat/log_event.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// How present the user was, as presenceOf numbers it: the coverage line's states.
enum class Presence { unrecorded, unavailable, none, away, active };

struct Stretch {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    Presence presence = Presence::unrecorded;
    std::string label; // the tag's; else, for active time, the name it counts under
    bool tagged = false;
};

// Where tags lie within [FROM_MS, TO_MS): spans in order, none overlapping, each with
// the tag that holds it. Where tags overlap, the one made last holds the overlap, so a
// tag laid over part of an older one relabels that part and leaves it the rest.
struct TagSpan {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    const Tag* tag = nullptr; // into TAGS
};
std::vector<TagSpan> tagSpans(const std::vector<Tag>& tags, std::int64_t fromMs, std::int64_t toMs);

// DAY's span cut into stretches, in order, touching, adjacent ones that agree joined:
// where a tag lies, its label (any presence, unrecorded time included); elsewhere,
// active time under NAME_OF's name for the piece in front (of two machines used side by
// side, the one brought to the front last) and the other presences unlabelled. Each
// moment is in one stretch, however many folders the day was read from, its presence
// the most present of any of them. Active time taken from a day summary has no events,
// so no name: read such a day from the log when the names matter.
std::vector<Stretch> attributeDay(const Day& day, const std::vector<Tag>& tags,
                                  const std::function<std::string_view(const Piece&)>& nameOf);

} // namespace report
