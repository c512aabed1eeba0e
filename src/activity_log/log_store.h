// Where events go: appended to the day's file, each flushed to the disk, or written to
// standard output. Beside the day files, current.json holds what they don't yet: the
// closed events that couldn't be written, oldest first, then the open event; the next
// start appends them, in order and once. Nothing goes into the folder until this
// collector holds its lock.
#pragma once

#include "logformat/log_event.h"
#include "platform/collector_files.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

struct LogStore {
    std::filesystem::path directory; // unused with standard output
    bool toStandardOutput = false;
    platform::FolderLock lock;               // the folder's, once held
    std::deque<logformat::LogEvent> pending; // closed, not yet written
    bool failing = false;                    // said once on standard error
    bool outputGone = false;                 // standard output can't be written any more
    std::string saved;                       // current.json's content, as last written
    std::string syncedQueue;                 // its queued events, their name on the disk
};

enum class FolderHold {
    held,    // this collector's (always, with standard output)
    waiting, // can't be locked yet (missing, unwritable): tried again at every call
    busy,    // another collector holds it
};

// Takes the folder's lock unless it is held already. The first time it is, the events
// that current.json kept from an earlier run (killed, or stopped without a writable
// day file) go to the front of the queue, unless their day files hold them already.
FolderHold holdFolder(LogStore& store);

// Queues closed events and writes whatever is queued. False while the log can't be
// written (the lock isn't held, the day file can't be written); the events stay queued.
bool keepEvents(LogStore& store, std::vector<logformat::LogEvent> closed);

// current.json: the queued events, then the open one, replaced atomically; removed when
// there are none. False when it couldn't be written (or the lock isn't held).
bool saveCurrent(LogStore& store, const std::optional<logformat::LogEvent>& open);

} // namespace activity_log
