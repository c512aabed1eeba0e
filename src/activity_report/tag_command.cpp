#include "activity_report/tag_command.h"

#include "activity_report/tags.h"
#include "activity_report/text_width.h"
#include "logformat/duration.h"
#include "logformat/local_time.h"
#include "platform/collector_files.h"
#include "text/utf8_path.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace report {

namespace {

int refuse(RunOutput& output, int status, const std::string& message) {
    output.err = "activity-report tag: " + message + "\n";
    if (status == 2) {
        output.err += "Run activity-report tag --help for the options.\n";
    }
    return status;
}

std::string shownFolder(const std::filesystem::path& directory) {
    return text::utf8FromPath(directory);
}

std::string skippedNote(std::uint64_t skipped, const std::filesystem::path& directory) {
    if (skipped == 0) {
        return {};
    }
    return "activity-report tag: skipped " + std::to_string(skipped) +
           (skipped == 1 ? " line" : " lines") + " of " + shownFolder(directory / tagFileName) +
           " that held no tag (damaged, or cut short)\n";
}

// "2026-12-07 10:05 to 10:50" when both ends are on one day.
std::string spanText(const Tag& tag, const Clock& clock) {
    const std::string from = logformat::formatLocalTime(tag.fromMs, clock.offsetAt);
    std::string to = logformat::formatLocalTime(tag.toMs, clock.offsetAt);
    if (to.compare(0, 11, from, 0, 11) == 0) {
        to.erase(0, 11);
    }
    return from + " to " + to;
}

struct Request {
    std::vector<std::filesystem::path> directories;
    std::string from, to, last, label, remove;
    bool list = false;
};

int list(const Request& request, const Clock& clock, RunOutput& output) {
    std::vector<Tag> tags;
    for (const auto& directory : request.directories) {
        const auto file = readTagFile(directory);
        if (!file) {
            return refuse(output, 1, "can't read " + shownFolder(directory / tagFileName));
        }
        tags.insert(tags.end(), file->tags.begin(), file->tags.end());
        output.err += skippedNote(file->skippedLines, directory);
    }
    if (tags.empty()) {
        output.out = "No tags.\n";
        return 0;
    }
    std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) {
        return a.fromMs != b.fromMs ? a.fromMs < b.fromMs : a.madeMs < b.madeMs;
    });
    std::size_t idColumns = 2;
    std::size_t timeColumns = 4;
    for (const Tag& tag : tags) {
        idColumns = std::max(idColumns, displayWidth(tag.id));
        timeColumns =
            std::max({timeColumns, logformat::formatLocalTime(tag.fromMs, clock.offsetAt).size(),
                      logformat::formatLocalTime(tag.toMs, clock.offsetAt).size()});
    }
    const auto line = [&](std::string_view id, std::string_view from, std::string_view to,
                          std::string_view label) {
        return padColumns(printable(id), idColumns) + "  " + padColumns(from, timeColumns) + "  " +
               padColumns(to, timeColumns) + "  " + printable(label) + "\n";
    };
    output.out = line("Id", "From", "To", "Label");
    for (const Tag& tag : tags) {
        output.out += line(tag.id, logformat::formatLocalTime(tag.fromMs, clock.offsetAt),
                           logformat::formatLocalTime(tag.toMs, clock.offsetAt), tag.label);
    }
    return 0;
}

// Held from reading the file to appending the line: a tag command running beside this
// one waits, then reads this one's line, so that no id is given twice.
platform::FileLock lockTagFile(const std::filesystem::path& directory) {
    return platform::lockFileWaiting(directory / tagFileName);
}

// A line goes on a line of its own, even after a last line a crash cut short.
bool append(const std::filesystem::path& directory, const TagFile& file, const std::string& line) {
    return platform::appendDurably(directory / tagFileName,
                                   (file.endsInLineEnd ? "" : "\n") + line);
}

// --last: the span of that length ending now, to the millisecond.
logformat::LocalTimeParse momentBefore(const Clock& clock, std::int64_t ms) {
    logformat::LocalTimeParse moment;
    moment.moment = logformat::Timestamp{clock.nowMs - ms, clock.offsetAt(clock.nowMs - ms)};
    return moment;
}

int add(const Request& request, const Clock& clock, RunOutput& output) {
    // A bare time of day is today's.
    const logformat::CivilDate today =
        logformat::localDate({clock.nowMs, clock.offsetAt(clock.nowMs)});
    logformat::LocalTimeParse from, to;
    if (!request.last.empty()) {
        const logformat::DurationParse length = logformat::parseDuration(request.last);
        if (!length.ms) {
            return refuse(output, 2, "--last: " + length.problem);
        }
        from = momentBefore(clock, *length.ms);
        to = momentBefore(clock, 0);
    } else {
        from = logformat::parseLocalTime(request.from, clock.offsetAt, today);
        to = logformat::parseLocalTime(request.to, clock.offsetAt, today);
    }
    if (!from.moment) {
        return refuse(output, 2, "--from: " + from.problem);
    }
    if (!to.moment) {
        return refuse(output, 2, "--to: " + to.problem);
    }
    if (to.moment->unixMs <= from.moment->unixMs) {
        std::string problem = "--to " + request.to + " is not after --from " + request.from;
        for (const auto* end : {&from, &to}) {
            if (end->skipped) {
                problem += " (the clocks skipped " +
                           std::string(end == &from ? request.from : request.to) +
                           ": it is the moment they jumped, " +
                           logformat::formatLocalTime(end->moment->unixMs, clock.offsetAt) + ")";
                break;
            }
        }
        return refuse(output, 2, problem);
    }
    if (const std::string problem = labelProblem(request.label); !problem.empty()) {
        // Cut: a label refused for its length would fill the terminal.
        return refuse(output, 2,
                      problem + ": \"" + fitColumns(printable(request.label), 60) + "\"");
    }
    const std::filesystem::path& directory = request.directories.front();
    const platform::FileLock lock = lockTagFile(directory);
    if (!lock) {
        return refuse(output, 1, "can't write " + shownFolder(directory / tagFileName));
    }
    const auto file = readTagFile(directory);
    if (!file) {
        return refuse(output, 1, "can't read " + shownFolder(directory / tagFileName));
    }
    const logformat::Timestamp made{clock.nowMs, clock.offsetAt(clock.nowMs)};
    Tag tag{newTagId(made.unixMs, file->ids), from.moment->unixMs, to.moment->unixMs,
            normalLabel(request.label), made.unixMs};
    if (!append(directory, *file,
                formatTagLine(tag.id, *from.moment, *to.moment, tag.label, made))) {
        return refuse(output, 1, "can't write " + shownFolder(directory / tagFileName));
    }
    output.err += skippedNote(file->skippedLines, directory);
    output.out =
        "Tagged " + spanText(tag, clock) + " as " + printable(tag.label) + " (id " + tag.id + ")\n";
    return 0;
}

int remove(const Request& request, const Clock& clock, RunOutput& output) {
    const std::filesystem::path& directory = request.directories.front();
    // A folder with no tags file has no tag to remove: none is made for the lock.
    std::error_code error;
    platform::FileLock lock;
    if (std::filesystem::exists(directory / tagFileName, error)) {
        lock = lockTagFile(directory);
        if (!lock) {
            return refuse(output, 1, "can't write " + shownFolder(directory / tagFileName));
        }
    }
    const auto file = readTagFile(directory);
    if (!file) {
        return refuse(output, 1, "can't read " + shownFolder(directory / tagFileName));
    }
    const auto tag = std::find_if(file->tags.begin(), file->tags.end(),
                                  [&](const Tag& t) { return t.id == request.remove; });
    if (tag == file->tags.end()) {
        const bool removed = std::find(file->removed.begin(), file->removed.end(),
                                       request.remove) != file->removed.end();
        return refuse(output, 2,
                      (removed ? "tag " + printable(request.remove) + " is removed already"
                               : "no tag has the id " + printable(request.remove)) +
                          " in " + shownFolder(directory / tagFileName) +
                          " (activity-report tag --list shows them)");
    }
    const logformat::Timestamp made{clock.nowMs, clock.offsetAt(clock.nowMs)};
    if (!append(directory, *file, formatRemovalLine(tag->id, made))) {
        return refuse(output, 1, "can't write " + shownFolder(directory / tagFileName));
    }
    output.err += skippedNote(file->skippedLines, directory);
    output.out = "Removed tag " + tag->id + ": " + spanText(*tag, clock) + " as " +
                 printable(tag->label) + "\n";
    return 0;
}

} // namespace

int runTagCommand(const std::vector<std::string>& arguments, const Clock& clock,
                  const std::filesystem::path& defaultDirectory, RunOutput& output) {
    CLI::App app{"Labels time after the fact: the label counts for that time in the report, "
                 "whatever was in front, and whether or not anything was recorded.\n"
                 "  activity-report tag --from \"2026-12-07 10:05\" --to \"2026-12-07 10:50\" "
                 "meeting/standup\n"
                 "  activity-report tag --last 30m meeting/standup\n"
                 "  activity-report tag --list\n"
                 "  activity-report tag --remove ID",
                 "activity-report tag"};
    Request request;
    std::vector<std::string> directories;
    app.add_option("--dir", directories,
                   "The collector's log folder, which keeps tags.jsonl (default: " +
                       text::utf8FromPath(defaultDirectory) + "); --list takes several")
        ->type_name("DIR")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    auto* fromOption = app.add_option("--from", request.from,
                                      "Where the tagged time starts, in local time: "
                                      "\"YYYY-MM-DD HH:MM\", seconds if wanted, or HH:MM today")
                           ->type_name("TIME");
    auto* toOption =
        app.add_option("--to", request.to, "Where it ends (not included)")->type_name("TIME");
    auto* lastOption = app.add_option("--last", request.last,
                                      "Instead of --from and --to: the time up to now, such as "
                                      "30m, 1.5h, 90s, or seconds")
                           ->type_name("DURATION");
    lastOption->excludes(fromOption)->excludes(toOption);
    auto* labelOption =
        app.add_option("label", request.label, "The label, with / between project levels")
            ->type_name("LABEL");
    auto* listOption = app.add_flag("--list", request.list, "List the tags in effect");
    auto* removeOption = app.add_option("--remove", request.remove,
                                        "Remove the tag with this id (a line is added; "
                                        "none is changed)")
                             ->type_name("ID");
    listOption->excludes(fromOption)
        ->excludes(toOption)
        ->excludes(lastOption)
        ->excludes(labelOption)
        ->excludes(removeOption);
    removeOption->excludes(fromOption)
        ->excludes(toOption)
        ->excludes(lastOption)
        ->excludes(labelOption);

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        output.out = app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        return refuse(output, 2, error.what());
    }
    for (const std::string& directory : directories) {
        request.directories.push_back(text::pathFromUtf8(directory));
    }
    if (request.directories.empty()) {
        request.directories.push_back(defaultDirectory);
    }
    for (const auto& directory : request.directories) {
        std::error_code error;
        if (directory.empty()) {
            return refuse(output, 1,
                          "the system names no data folder for the log; give one with --dir");
        }
        if (!std::filesystem::is_directory(directory, error)) {
            return refuse(output, 1,
                          "no log folder at " + shownFolder(directory) +
                              " (has activity-log run? --dir names another)");
        }
    }
    if (request.list) {
        return list(request, clock, output);
    }
    if (request.directories.size() > 1) {
        return refuse(output, 2, "a tag is kept in one folder: give one --dir");
    }
    if (!request.remove.empty() || removeOption->count() > 0) {
        return remove(request, clock, output);
    }
    if ((lastOption->count() == 0 && (request.from.empty() || request.to.empty())) ||
        labelOption->count() == 0) {
        return refuse(output, 2,
                      "a tag needs --from and --to (or --last) and a label (or --list, or "
                      "--remove ID)");
    }
    return add(request, clock, output);
}

} // namespace report
