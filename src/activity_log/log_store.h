// Where events go: appended to the day's file, each flushed to the disk, with the open
// event kept beside them in current.json; or written to standard output. Events that
// can't be written wait in memory and go out, in order, as soon as they can.
#pragma once

#include "logformat/log_event.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

struct LogStore {
    std::filesystem::path directory; // unused with standard output
    bool toStandardOutput = false;
    std::deque<logformat::LogEvent> pending; // closed, not yet written
    bool failing = false;                    // said once on standard error
    std::string savedOpen;                   // the open event's line in current.json
};

// A current.json left by a collector that was killed: its event ended at its last
// sample, and is appended before anything else (unless it already was).
void recoverLeftover(LogStore& store);

// Queues closed events and writes whatever is queued. False while the log can't be
// written; the events stay queued.
bool keepEvents(LogStore& store, std::vector<logformat::LogEvent> closed);

// current.json: the open event, replaced atomically; removed when there is none.
void saveOpenEvent(LogStore& store, const std::optional<logformat::LogEvent>& open);

} // namespace activity_log
