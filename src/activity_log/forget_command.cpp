#include "activity_log/forget_command.h"

#include "activity_log/forget_requests.h"
#include "logformat/duration.h"
#include "logformat/local_time.h"
#include "logformat/log_files.h"
#include "platform/collector_files.h"
#include "platform/console.h"
#include "platform/system.h"
#include "text/utf8_path.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

namespace activity_log {
namespace {

// "2026-12-07 10:05:00", on the local clock.
std::string localText(std::int64_t unixMs) {
    const std::string stamp =
        logformat::formatTimestamp({unixMs, platform::localUtcOffsetMinutes(unixMs)});
    return stamp.substr(0, 10) + " " + stamp.substr(11, 8);
}

// current.json's events, for a forget that holds the lock itself.
std::vector<logformat::LogEvent> readCurrent(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<logformat::LogEvent> events;
    std::string line;
    while (std::getline(in, line)) {
        if (auto event = logformat::parseLogEvent(line)) {
            events.push_back(std::move(*event));
        }
    }
    return events;
}

void answerAsHolder(const std::filesystem::path& directory) {
    const std::filesystem::path file = directory / logformat::currentEventFileName;
    std::vector<logformat::LogEvent> current = readCurrent(file);
    const auto contentOf = [](const std::vector<logformat::LogEvent>& events) {
        std::string content;
        for (const logformat::LogEvent& event : events) {
            content += logformat::formatLogEvent(event);
        }
        return content;
    };
    const std::string before = contentOf(current);
    answerForgetRequests(
        directory, current,
        [&] {
            const std::string content = contentOf(current);
            return content == before || platform::replaceDurably(file, content);
        },
        "activity-log forget");
}

int say(const ForgetOptions& options, const ForgetAnswer& answer) {
    const std::string range =
        localText(options.range.fromMs) + " to " + localText(options.range.toMs);
    if (answer.outcome.events == 0 && answer.outcome.failures.empty()) {
        platform::writeStandardOutput("activity-log: nothing to forget from " + range + "\n");
        return 0;
    }
    if (answer.outcome.events > 0) {
        const std::size_t events = answer.outcome.events;
        std::string text = "activity-log: forgot the text of " + std::to_string(events) +
                           (events == 1 ? " event from " : " events from ") + range;
        const char* separator = "; rewrote ";
        for (const logformat::CivilDate& day : answer.outcome.days) {
            text += separator + logformat::dayFileName(day);
            separator = ", ";
        }
        if (answer.outcome.damagedLines > 0) {
            text += "; left out " + std::to_string(answer.outcome.damagedLines) + " damaged lines";
        }
        if (answer.answerer == "collector") {
            text += " (done by the running collector)";
        }
        platform::writeStandardOutput(text + "\n");
    }
    for (const std::string& failure : answer.outcome.failures) {
        platform::writeStandardError("activity-log: " + failure + "\n");
    }
    return answer.outcome.failures.empty() ? 0 : 1;
}

} // namespace

ParsedForget parseForgetOptions(const std::vector<std::string>& arguments, std::int64_t nowMs,
                                const std::function<std::int32_t(std::int64_t)>& offsetAt) {
    std::string last, from, to, directory, wait = "30s";
    ForgetOptions options;
    CLI::App app("Removes the text of the spans in a range of time from the log for good: "
                 "their times stay, as excluded. Works while a collector writes there.",
                 "activity-log forget");
    app.add_option("--last", last, "The last DURATION up to now: 90s, 10m, 1.5h, or seconds")
        ->type_name("DURATION");
    app.add_option("--from", from,
                   "From this local time (seconds, and an offset such as +01:00, may follow)")
        ->type_name("\"YYYY-MM-DD HH:MM\"");
    app.add_option("--to", to, "Up to this local time")->type_name("\"YYYY-MM-DD HH:MM\"");
    app.add_option("--dir", directory, "Log folder (default: the collector's)")->type_name("DIR");
    app.add_option("--wait", wait, "How long to wait for a running collector to do it")
        ->type_name("DURATION")
        ->capture_default_str();

    ParsedForget parsed;
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.out = app.help();
        return parsed;
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = 2;
        parsed.err = std::string("activity-log forget: ") + error.what() +
                     "\nRun with --help for the options.\n";
        return parsed;
    }
    const auto refuse = [&](const std::string& why) {
        parsed.exitCode = 2;
        parsed.err = "activity-log forget: " + why + "\n";
        return parsed;
    };
    const auto waitFor = logformat::parseDuration(wait, {1000, 100, 86'400'000});
    if (!waitFor.ms) {
        return refuse("--wait: " + waitFor.problem);
    }
    options.waitSeconds = static_cast<double>(*waitFor.ms) / 1000;
    const bool byLast = app.count("--last") > 0;
    const bool byTimes = app.count("--from") > 0 || app.count("--to") > 0;
    if (byLast == byTimes) {
        return refuse("give either --last DURATION or --from and --to");
    }
    if (byLast) {
        const auto length = logformat::parseDuration(last);
        if (!length.ms) {
            return refuse("--last: " + length.problem);
        }
        options.range = {nowMs - *length.ms, nowMs};
    } else {
        if (app.count("--from") == 0 || app.count("--to") == 0) {
            return refuse("--from and --to go together");
        }
        // A bare time of day is today's.
        const logformat::CivilDate today = logformat::localDate({nowMs, offsetAt(nowMs)});
        const auto start = logformat::parseLocalTime(from, offsetAt, today);
        const auto end = logformat::parseLocalTime(to, offsetAt, today);
        for (const auto& [time, text, name] :
             {std::tuple{&start, &from, "--from"}, std::tuple{&end, &to, "--to"}}) {
            if (!time->moment) {
                return refuse(std::string(name) + " '" + *text + "': " + time->problem);
            }
        }
        options.range = {start.moment->unixMs, end.moment->unixMs};
        if (options.range.fromMs >= options.range.toMs) {
            return refuse("--from '" + from + "' is not before --to '" + to + "'");
        }
    }
    options.directory = text::pathFromUtf8(directory);
    parsed.options = std::move(options);
    return parsed;
}

int runForget(const ForgetOptions& options) {
    const std::filesystem::path directory =
        options.directory.empty() ? logformat::defaultLogDirectory() : options.directory;
    if (directory.empty()) {
        platform::writeStandardError(
            "activity-log: the system names no data folder for the log; give one with --dir\n");
        return 2;
    }
    const std::string where = text::utf8FromPath(directory);
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        platform::writeStandardError("activity-log: there is no log at " + where + "\n");
        return 1;
    }
    const std::string id = newForgetRequestId();
    if (!writeForgetRequest(directory, id, options.range)) {
        platform::writeStandardError("activity-log: can't write to " + where + "\n");
        return 1;
    }
    // Whoever holds the folder does it: this program when it can take the lock, else the
    // collector holding it, at its next sample. One that stops meanwhile leaves the lock
    // to this program.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(options.waitSeconds));
    for (;;) {
        platform::FolderLockResult locked = platform::lockFolder(directory);
        if (locked.lock) {
            answerAsHolder(directory);
            locked.lock = {};
            if (const std::optional<ForgetAnswer> answer = takeForgetAnswer(directory, id)) {
                return say(options, *answer);
            }
            platform::writeStandardError("activity-log: can't write the answer in " + where + "/" +
                                         forgetRequestFolder + "\n");
            return 1;
        }
        if (const std::optional<ForgetAnswer> answer = takeForgetAnswer(directory, id)) {
            return say(options, *answer);
        }
        if (!locked.busy) {
            platform::writeStandardError("activity-log: can't lock " + where +
                                         " to forget there\n");
            return 1;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            platform::writeStandardError(
                "activity-log: the collector writing to " + where + " didn't answer within " +
                (std::ostringstream() << options.waitSeconds).str() +
                " seconds; the request waits in " + forgetRequestFolder +
                "/ there, and is carried out at its next sample or the next start\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace activity_log
