#include "activity_log/log_store.h"

#include "activity_log/options.h"
#include "logformat/log_files.h"
#include "platform/collector_files.h"
#include "platform/console.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace activity_log {
namespace {

std::filesystem::path currentFile(const LogStore& store) {
    return store.directory / logformat::currentEventFileName;
}

std::filesystem::path dayFile(const LogStore& store, const logformat::LogEvent& event) {
    return store.directory / logformat::dayFileName(logformat::localDate(event.start));
}

bool writeEvent(const LogStore& store, const logformat::LogEvent& event) {
    const std::string line = logformat::formatLogEvent(event);
    if (store.toStandardOutput) {
        return platform::writeStandardOutput(line);
    }
    std::error_code error;
    std::filesystem::create_directories(store.directory, error);
    return !error && platform::appendDurably(dayFile(store, event), line);
}

std::string readWhole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The last complete line of FILE, line end included; only its tail is read.
std::string lastLine(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return {};
    }
    const std::streamoff size = file.tellg();
    const std::streamoff from = size > 65536 ? size - 65536 : 0;
    file.seekg(from);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    if (tail.empty() || tail.back() != '\n') {
        return {};
    }
    const std::size_t start = tail.rfind('\n', tail.size() - 2);
    return start == std::string::npos ? (from == 0 ? tail : std::string()) : tail.substr(start + 1);
}

void sayFailing(LogStore& store, bool nowFailing) {
    if (nowFailing == store.failing) {
        return;
    }
    store.failing = nowFailing;
    const std::string where =
        store.toStandardOutput ? "standard output" : utf8FromPath(store.directory);
    if (nowFailing) {
        platform::writeStandardError("activity-log: can't write the log to " + where +
                                     "; keeping the events in memory and trying again at "
                                     "every sample\n");
    } else {
        platform::writeStandardError("activity-log: the log is written to " + where + " again\n");
    }
}

} // namespace

void recoverLeftover(LogStore& store) {
    if (store.toStandardOutput) {
        return;
    }
    const std::filesystem::path current = currentFile(store);
    std::string line = readWhole(current);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    const std::optional<logformat::LogEvent> leftover = logformat::parseLogEvent(line);
    if (leftover && logformat::durationMs(*leftover) > 0) {
        // A kill between appending an event and replacing current.json leaves the
        // event in both places: it is appended once.
        if (lastLine(dayFile(store, *leftover)) != logformat::formatLogEvent(*leftover)) {
            store.pending.push_back(*leftover);
        }
    }
    if (keepEvents(store, {})) {
        std::error_code error;
        std::filesystem::remove(current, error);
    }
}

bool keepEvents(LogStore& store, std::vector<logformat::LogEvent> closed) {
    for (logformat::LogEvent& event : closed) {
        store.pending.push_back(std::move(event));
    }
    while (!store.pending.empty()) {
        if (!writeEvent(store, store.pending.front())) {
            sayFailing(store, true);
            return false;
        }
        store.pending.pop_front();
    }
    sayFailing(store, false);
    return true;
}

void saveOpenEvent(LogStore& store, const std::optional<logformat::LogEvent>& open) {
    if (store.toStandardOutput) {
        return;
    }
    const std::filesystem::path current = currentFile(store);
    if (!open) {
        std::error_code error;
        std::filesystem::remove(current, error);
        store.savedOpen.clear();
        return;
    }
    std::string line = logformat::formatLogEvent(*open);
    if (line == store.savedOpen) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(store.directory, error);
    if (!error && platform::replaceAtomically(current, line)) {
        store.savedOpen = std::move(line);
    }
}

} // namespace activity_log
