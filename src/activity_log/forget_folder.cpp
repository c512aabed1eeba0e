#include "activity_log/forget_folder.h"

#include "logformat/log_files.h"
#include "logformat/summary_files.h"
#include "platform/collector_files.h"
#include "text/utf8_path.h"

#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>

namespace activity_log {
namespace {

using logformat::CivilDate;
using logformat::LogEvent;

CivilDate nextDay(const CivilDate& date, int by) {
    return logformat::civilFromDays(logformat::daysFromCivil(date) + by);
}

std::optional<std::string> readWhole(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        return std::nullopt;
    }
    return bytes;
}

struct Line {
    std::string_view bytes; // without its LF
    std::optional<LogEvent> event;
};

std::vector<Line> linesOf(const std::string& text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        Line line{std::string_view(text).substr(at, end - at), std::nullopt};
        std::string_view content = line.bytes;
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
        }
        line.event = logformat::parseLogEvent(content);
        lines.push_back(std::move(line));
        at = end + 1;
    }
    return lines;
}

std::string failure(const char* what, const std::filesystem::path& file) {
    return std::string(what) + " " + text::utf8FromPath(file);
}

// Every file of FOLDER whose name begins with NAME: the summary and any temporary file a
// report left when it stopped while writing one.
void removeFilesNamed(const std::filesystem::path& folder, const std::string& name,
                      ForgetOutcome& outcome) {
    std::error_code error;
    std::vector<std::filesystem::path> found;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (text::utf8FromPath(entry->path().filename()).starts_with(name)) {
            found.push_back(entry->path());
        }
    }
    for (const std::filesystem::path& file : found) {
        if (!platform::removeDurably(file)) {
            outcome.failures.push_back(failure("can't remove the summary", file));
        }
    }
}

bool sameText(const LogEvent& a, const LogEvent& b) {
    return a.title == b.title && a.curatedTitle == b.curatedTitle && a.doc == b.doc &&
           a.url == b.url;
}

std::vector<LogEvent*> pointersTo(std::vector<LogEvent>& events) {
    std::vector<LogEvent*> pointers;
    pointers.reserve(events.size());
    for (LogEvent& event : events) {
        pointers.push_back(&event);
    }
    return pointers;
}

struct Forgetting {
    std::filesystem::path directory;
    TimeRange range;
    std::vector<LogEvent>& current;
    std::filesystem::path summaryCacheRoot;
    ForgetOutcome outcome;
    std::set<CivilDate> touched; // days whose summaries go
    std::set<CivilDate> todo;
    std::map<CivilDate, std::vector<Carry>> carries;

    std::filesystem::path dayFile(const CivilDate& day) const {
        return directory / logformat::dayFileName(day);
    }

    // The report's summaries of DAY, in the folder and in every folder of the cache's
    // fallback, which may have known this folder under any name. They go before the day's
    // text does, so that a crash between the two can't leave a summary of a day already
    // forgotten (the next try would find nothing to forget there); and again once it is
    // gone, for a report that summarised the old file meanwhile.
    void removeSummaries(const CivilDate& day) {
        const std::string name = logformat::summaryFileName(day);
        removeFilesNamed(logformat::summaryFolder(directory), name, outcome);
        for (const std::filesystem::path& cache :
             logformat::cachedSummaryFolders(summaryCacheRoot)) {
            removeFilesNamed(cache, name, outcome);
        }
    }

    // RANGE and CARRIES in current.json's events, which the caller writes back.
    void inCurrent(const TimeRange& reach, const std::vector<Carry>& reaching) {
        const std::vector<LogEvent> before = current;
        std::vector<Carry> more;
        outcome.events += forgetAmong(pointersTo(current), reach, reaching, more);
        for (std::size_t i = 0; i < current.size(); ++i) {
            const CivilDate day = logformat::localDate(current[i].start);
            if (!sameText(before[i], current[i]) && touched.insert(day).second) {
                removeSummaries(day);
            }
        }
        carry(std::move(more));
    }

    // Forgotten pieces at a midnight: their other halves go too, in current.json at
    // once, in their day files when those days' turns come (again, if they came already).
    void carry(std::vector<Carry> more) {
        if (more.empty()) {
            return;
        }
        for (const Carry& c : more) {
            const CivilDate day = dayOf(c);
            carries[day].push_back(c);
            std::error_code error;
            if (std::filesystem::exists(dayFile(day), error)) {
                todo.insert(day);
            }
        }
        inCurrent(TimeRange{}, more);
    }

    void day(const CivilDate& date) {
        const std::filesystem::path file = dayFile(date);
        const std::vector<Carry> reaching = std::move(carries[date]);
        carries.erase(date);
        const std::optional<std::string> text = readWhole(file);
        if (!text) {
            outcome.failures.push_back(failure("can't read", file));
            return;
        }
        std::vector<Line> lines = linesOf(*text);
        std::vector<LogEvent*> events;
        std::vector<LogEvent> before;
        for (Line& line : lines) {
            if (line.event) {
                events.push_back(&*line.event);
                before.push_back(*line.event);
            }
        }
        std::vector<Carry> more;
        const std::size_t forgotten = forgetAmong(events, range, reaching, more);
        if (forgotten == 0) {
            return;
        }
        // Lines that aren't events (a power cut's torn line) are left out: no reader
        // takes them, and they may hold the very text being forgotten.
        std::string rewritten;
        rewritten.reserve(text->size());
        std::size_t index = 0;
        for (const Line& line : lines) {
            if (!line.event) {
                outcome.damagedLines += line.bytes.empty() ? 0 : 1;
                continue;
            }
            if (sameText(*line.event, before[index++])) {
                rewritten.append(line.bytes).push_back('\n'); // as it was, byte for byte
            } else {
                rewritten += logformat::formatLogEvent(*line.event);
            }
        }
        removeSummaries(date);
        if (!platform::replaceDurably(file, rewritten)) {
            outcome.failures.push_back(failure("can't rewrite", file));
            return;
        }
        outcome.events += forgotten;
        outcome.days.insert(date);
        touched.insert(date);
        carry(std::move(more));
    }
};

} // namespace

ForgetOutcome forgetInFolder(const std::filesystem::path& directory, const TimeRange& range,
                             std::vector<LogEvent>& current,
                             const std::filesystem::path& summaryCacheRoot) {
    Forgetting forgetting{directory, range, current, summaryCacheRoot, {}, {}, {}, {}};
    forgetting.inCurrent(range, {});
    // A day file holds the events that start on its day by their own offsets: a day
    // either side of the range's own covers a log written in another time zone.
    const CivilDate first = nextDay(logformat::localDate({range.fromMs, 0}), -2);
    const CivilDate last = nextDay(logformat::localDate({range.toMs, 0}), 2);
    for (CivilDate date = first; date <= last; date = nextDay(date, 1)) {
        std::error_code error;
        if (std::filesystem::exists(forgetting.dayFile(date), error)) {
            forgetting.todo.insert(date);
        }
    }
    while (!forgetting.todo.empty()) {
        const CivilDate date = *forgetting.todo.begin();
        forgetting.todo.erase(forgetting.todo.begin());
        forgetting.day(date);
    }
    ForgetOutcome& outcome = forgetting.outcome;
    for (const CivilDate& date : forgetting.touched) {
        forgetting.removeSummaries(date);
        // A day file's temporary copy a crash left: the old text or the new, both gone.
        std::filesystem::path leftover = forgetting.dayFile(date);
        leftover += ".tmp";
        if (!platform::removeDurably(leftover)) {
            outcome.failures.push_back(failure("can't remove", leftover));
        }
    }
    return outcome;
}

} // namespace activity_log
