#include "activity_log/log_store.h"

#include "activity_log/forget_requests.h"
#include "activity_log/options.h"
#include "logformat/log_files.h"
#include "platform/console.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <system_error>

namespace activity_log {
namespace {

std::filesystem::path currentFile(const LogStore& store) {
    return store.directory / logformat::currentEventFileName;
}

std::filesystem::path dayFile(const LogStore& store, const logformat::LogEvent& event) {
    return store.directory / logformat::dayFileName(logformat::localDate(event.start));
}

// The file's bytes; none when it can't be read (a folder in its place, say).
std::string readWhole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    return file.bad() ? std::string() : bytes;
}

struct EventLines {
    std::vector<logformat::LogEvent> events;
    std::size_t damaged = 0; // lines with something in them that isn't an event
};

// The events of the lines of TEXT; a line that isn't one (cut short, damaged) is passed
// over, and counted unless it holds only NULs or white space (a power cut's padding).
EventLines eventsOf(const std::string& text) {
    EventLines lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line(text.data() + at, end - at);
        if (auto event = logformat::parseLogEvent(
                line.ends_with('\r') ? line.substr(0, line.size() - 1) : line)) {
            lines.events.push_back(std::move(*event));
        } else if (line.find_first_not_of(std::string_view(" \t\r\0", 4)) !=
                   std::string_view::npos) {
            ++lines.damaged;
        }
        at = end + 1;
    }
    return lines;
}

// "current.json.damaged-20261207T093000Z", with "-2", "-3"… after it should that be taken.
std::filesystem::path asideName(const LogStore& store) {
    const std::int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
    std::string stamp;
    for (const char c : logformat::formatTimestamp({nowMs, 0}).substr(0, 19)) {
        if (c != '-' && c != ':') {
            stamp += c;
        }
    }
    const std::string base =
        std::string(logformat::currentEventFileName) + ".damaged-" + stamp + "Z";
    std::filesystem::path aside = store.directory / base;
    std::error_code error;
    for (int n = 2; std::filesystem::exists(aside, error) && n < 1000; ++n) {
        aside = store.directory / (base + "-" + std::to_string(n));
    }
    return aside;
}

// A current.json with lines that are no event (damaged on the disk, or by hand) is kept
// for the user to look into, under a name of its own: the next sample would replace it,
// and those lines with it. The events it holds are taken in all the same.
void setAsideDamagedCurrent(LogStore& store, std::size_t damagedLines) {
    const std::filesystem::path aside = asideName(store);
    const std::string what = "activity-log: " + text::utf8FromPath(currentFile(store)) + " held " +
                             std::to_string(damagedLines) +
                             (damagedLines == 1 ? " damaged line" : " damaged lines");
    std::error_code error;
    std::filesystem::rename(currentFile(store), aside, error);
    if (error) {
        platform::writeStandardError(what +
                                     " and can't be set aside; the next sample replaces it\n");
        return;
    }
    store.saved.clear();
    platform::writeStandardError(what + "; set aside as " + text::utf8FromPath(aside) +
                                 " (its events are taken in)\n");
}

// True when FILE has bytes after its last line end: the tail a power cut left.
bool endsMidLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() <= 0) {
        return false;
    }
    in.seekg(-1, std::ios::end);
    char last = '\n';
    in.get(last);
    return last != '\n';
}

bool writeEvent(const LogStore& store, const logformat::LogEvent& event) {
    std::string line = logformat::formatLogEvent(event);
    if (store.toStandardOutput) {
        return platform::writeStandardOutput(line);
    }
    std::error_code error;
    std::filesystem::create_directories(store.directory, error);
    const std::filesystem::path file = dayFile(store, event);
    // Glued onto a torn last line, the event would be lost with it.
    if (endsMidLine(file)) {
        line.insert(line.begin(), '\n');
    }
    return !error && platform::appendDurably(file, line);
}

void sayFailing(LogStore& store, bool nowFailing) {
    if (nowFailing == store.failing) {
        return;
    }
    store.failing = nowFailing;
    const std::string where = text::utf8FromPath(store.directory);
    if (nowFailing) {
        platform::writeStandardError("activity-log: can't write the log to " + where +
                                     "; keeping the events and trying again at every sample\n");
    } else {
        platform::writeStandardError("activity-log: the log is written to " + where + " again\n");
    }
}

// current.json's events, oldest first, that their day files lack: a kill between an
// append and the replacing of current.json leaves an event in both, and so does a power
// cut that takes a rename back.
void takeInLeftovers(LogStore& store) {
    store.saved = readWhole(currentFile(store));
    // An empty saved content means no file: a zero-length current.json (a power cut
    // before its bytes reached the disk) holds nothing, and goes now, else a stop with
    // no event open would leave it there.
    if (store.saved.empty()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(currentFile(store), error)) {
            std::filesystem::remove(currentFile(store), error);
        }
    }
    EventLines leftovers = eventsOf(store.saved);
    if (leftovers.damaged > 0) {
        setAsideDamagedCurrent(store, leftovers.damaged);
    }
    std::map<logformat::CivilDate, std::vector<logformat::LogEvent>> appended;
    std::vector<logformat::LogEvent> missing;
    for (logformat::LogEvent& event : leftovers.events) {
        if (logformat::durationMs(event) <= 0) {
            continue;
        }
        auto [day, first] = appended.try_emplace(logformat::localDate(event.start));
        if (first) {
            day->second = eventsOf(readWhole(dayFile(store, event))).events;
        }
        if (std::none_of(day->second.begin(), day->second.end(),
                         [&](const logformat::LogEvent& line) {
                             return logformat::sameEvent(line, event);
                         })) {
            missing.push_back(std::move(event));
        }
    }
    store.pending.insert(store.pending.begin(), missing.begin(), missing.end());
}

} // namespace

FolderHold holdFolder(LogStore& store) {
    if (store.toStandardOutput || store.lock) {
        return FolderHold::held;
    }
    std::error_code error;
    std::filesystem::create_directories(store.directory, error);
    platform::FolderLockResult locked = platform::lockFolder(store.directory);
    if (locked.busy) {
        // activity-log forget holds it for as long as it rewrites the day files, its
        // request waiting meanwhile: this collector takes over once it is done.
        return forgetRequested(store.directory) ? FolderHold::waiting : FolderHold::busy;
    }
    if (!locked.lock) {
        return FolderHold::waiting;
    }
    store.lock = std::move(locked.lock);
    takeInLeftovers(store);
    return FolderHold::held;
}

bool keepEvents(LogStore& store, std::vector<logformat::LogEvent> closed) {
    for (logformat::LogEvent& event : closed) {
        store.pending.push_back(std::move(event));
    }
    if (store.outputGone) {
        return false;
    }
    if (!store.toStandardOutput && !store.lock) {
        sayFailing(store, true);
        return false;
    }
    while (!store.pending.empty()) {
        if (!writeEvent(store, store.pending.front())) {
            // Standard output that failed once (its reader gone) never takes a line again.
            if (store.toStandardOutput) {
                store.outputGone = true;
            } else {
                sayFailing(store, true);
            }
            return false;
        }
        store.pending.pop_front();
    }
    if (!store.toStandardOutput) {
        sayFailing(store, false);
    }
    return true;
}

bool saveCurrent(LogStore& store, const std::optional<logformat::LogEvent>& open) {
    if (store.toStandardOutput) {
        return true;
    }
    if (!store.lock) {
        return false;
    }
    std::string queued;
    for (const logformat::LogEvent& event : store.pending) {
        queued += logformat::formatLogEvent(event);
    }
    std::string content = queued;
    if (open) {
        content += logformat::formatLogEvent(*open);
    }
    if (content == store.saved) {
        return true;
    }
    const std::filesystem::path current = currentFile(store);
    std::error_code error;
    if (content.empty()) {
        std::filesystem::remove(current, error);
        if (error) {
            return false;
        }
    } else {
        std::filesystem::create_directories(store.directory, error);
        if (error || !platform::replaceAtomically(current, content)) {
            return false;
        }
        // Queued events are nowhere else: their new name must survive a power cut. The
        // open event alone needn't sync the folder at every sample: a rename taken back
        // leaves an earlier state of it (ended a sample sooner), or one its day file
        // holds already, which the next start knows by its identity.
        if (!queued.empty() && queued != store.syncedQueue && !platform::syncName(current)) {
            return false;
        }
    }
    store.saved = std::move(content);
    store.syncedQueue = std::move(queued);
    return true;
}

} // namespace activity_log
