#include "activity_report/run_report.h"

#include "activity_report/attribution.h"
#include "activity_report/classifier.h"
#include "activity_report/command_line.h"
#include "activity_report/html_page.h"
#include "activity_report/render.h"
#include "activity_report/tag_command.h"
#include "activity_report/tags.h"
#include "activity_report/timesheet.h"
#include "activity_report/totals.h"
#include "activity_report/untagged_away.h"
#include "logformat/summary_files.h"
#include "platform/system.h"
#include "text/utf8_path.h"

#include <algorithm>
#include <iterator>
#include <system_error>

namespace report {

int runReport(const std::vector<std::string>& arguments, const Clock& clock,
              const std::filesystem::path& defaultDirectory, RunOutput& output,
              const std::filesystem::path& defaultRules, std::optional<int> terminalColumns) {
    if (arguments.size() > 1 && arguments[1] == "tag") {
        std::vector<std::string> rest = arguments;
        rest.erase(rest.begin() + 1);
        return runTagCommand(rest, clock, defaultDirectory, output);
    }
    const logformat::Timestamp now{clock.nowMs, clock.offsetAt(clock.nowMs)};
    CommandLine commandLine = readCommandLine(arguments, now, clock.offsetAt, defaultDirectory);
    if (!commandLine.options) {
        output.out = std::move(commandLine.out);
        output.err = std::move(commandLine.err);
        return commandLine.exitCode;
    }
    ReportOptions& options = *commandLine.options;
    output.err = std::move(commandLine.err); // options that do nothing here, and why
    const std::optional<std::string> future = stillToCome(options, now);
    options.columns = options.width.value_or(terminalColumns.value_or(options.columns));
    for (const auto& directory : options.directories) {
        std::error_code error;
        if (directory.empty()) {
            output.err = "activity-report: the system names no data folder for the log; "
                         "give one with --dir\n";
            return 1;
        }
        if (!std::filesystem::is_directory(directory, error)) {
            output.err = "activity-report: no log folder at " + text::utf8FromPath(directory) +
                         " (has activity-log run? --dir names another)\n";
            return 1;
        }
    }

    // A folder named twice, under another spelling or through a link, is one machine's
    // log: it counts once.
    std::vector<std::filesystem::path> distinct;
    std::vector<platform::FileIdentity> seen;
    for (const auto& directory : options.directories) {
        const auto identity = platform::fileIdentity(directory);
        if (identity && std::find(seen.begin(), seen.end(), *identity) != seen.end()) {
            continue;
        }
        if (identity) {
            seen.push_back(*identity);
        }
        distinct.push_back(directory);
    }
    options.directories = std::move(distinct);
    options.cacheDirectory = logformat::summaryCacheRoot();

    // The rules, read whole before any day: a bad file stops the report, with nothing
    // applied. Every grouping reads them, for the names and categories of [[app]].
    ProjectClassifier projects;
    bool ruleless = options.by == GroupBy::project;
    if (options.rulesFile || !defaultRules.empty()) {
        RulesRead read =
            readRulesFile(options.rulesFile.value_or(defaultRules), options.rulesFile.has_value());
        if (!read.rules) {
            output.err = "activity-report: " + read.error + "\n";
            return 2;
        }
        ruleless = ruleless && read.missing;
        options.ruleTextFields = read.rules->textFields;
        options.apps = read.rules->apps;
        // A day's summary holds the sampler's names and categories.
        options.useSummaries = options.useSummaries && options.apps.empty();
        projects = ProjectClassifier(std::move(*read.rules));
    }
    if (ruleless) {
        // Else "Uncategorised 100%" would be all the user sees of a missing file.
        output.err += defaultRules.empty()
                          ? "activity-report: no rules file (the system names no config folder "
                            "to look in), so every event is Uncategorised; name one with "
                            "--rules\n"
                          : "activity-report: no rules file at " +
                                text::utf8FromPath(defaultRules) +
                                ", so every event is Uncategorised; write rules there or name "
                                "a file with --rules\n";
    }
    const Grouper grouper{options.by, &projects, options.depth};

    // A timesheet needs every event's times, and, when its days start after midnight,
    // the morning after the selection.
    // A cut before the first day's timesheet day starts lies on the timesheet day before,
    // which the day before holds the rest of.
    const logformat::CivilDate first = options.first, last = options.last;
    const bool timesheet = options.format == OutputFormat::timesheet;
    const bool sheetDayBefore =
        timesheet && options.timesheet.dayStartsMinutes > 0 && options.cutFromMs.has_value();
    const logformat::CivilDate sheetFirst =
        sheetDayBefore ? logformat::civilFromDays(logformat::daysFromCivil(first) - 1) : first;
    TimesheetBuilder sheet(options.timesheet, sheetFirst, last);
    if (timesheet) {
        options.useSummaries = false;
        options.first = sheetFirst;
        if (options.timesheet.dayStartsMinutes > 0) {
            options.last = logformat::civilFromDays(logformat::daysFromCivil(last) + 1);
        }
    }

    HtmlPage page;
    if (options.htmlFile && !page.open(*options.htmlFile, options, grouper)) {
        output.err = "activity-report: can't write " + text::utf8FromPath(*options.htmlFile) + "\n";
        return 1;
    }
    TotalsBuilder builder(grouper);
    std::vector<Tag> tags;
    std::uint64_t skippedTagLines = 0;
    for (const auto& directory : options.directories) {
        auto file = readTagFile(directory);
        if (!file) {
            output.err =
                "activity-report: can't read " + text::utf8FromPath(directory / tagFileName) + "\n";
            return 1;
        }
        skippedTagLines += file->skippedLines;
        std::move(file->tags.begin(), file->tags.end(), std::back_inserter(tags));
    }
    tags = tagsByMadeTime(std::move(tags));
    page.useTags(tags);
    // Tags name projects: a timesheet by another grouping keeps its own names.
    const std::vector<Tag> sheetTags =
        timesheet && options.by == GroupBy::project ? tags : std::vector<Tag>{};
    builder.useTags(tags);
    UntaggedAwayFinder untagged(tags);
    // What a day's summary of projects must have been made under. Every offset a log
    // may hold lies within 14 hours of UTC: the days a tag may lie on, in any of them.
    if (options.by == GroupBy::project) {
        options.rulesDigest = projects.rules().digest;
        for (const Tag& tag : tags) {
            options.taggedDays.add(localDayNumber(tag.fromMs, -14 * 60),
                                   localDayNumber(tag.toMs, 14 * 60));
        }
    }
    ReadCounts counts;
    std::string scratch;
    // Projects are found as the log is read, so that the pieces need not carry the text.
    ProjectClassifier* const classifyAsRead = options.by == GroupBy::project ? &projects : nullptr;
    forEachDay(options, clock, counts, classifyAsRead, [&](const Day& day) {
        if (timesheet) {
            // Active time under its project, tagged time under its tag's, each moment
            // once whatever the number of machines.
            std::vector<ProjectTime> times;
            for (const Stretch& stretch : attributeDay(day, sheetTags, [&](const Piece& piece) {
                     return grouper.nameOf(piece, scratch);
                 })) {
                if (!stretch.label.empty() &&
                    (stretch.tagged || stretch.presence == Presence::active)) {
                    const std::string_view label =
                        stretch.tagged ? projectAtDepth(stretch.label, options.depth)
                                       : std::string_view(stretch.label);
                    times.push_back({stretch.fromMs, stretch.toMs, std::string(label)});
                }
            }
            sheet.addDay(day, std::move(times));
        }
        if (day.date > last || day.date < first) {
            return; // only the timesheet's morning after, or its evening before
        }
        if (options.untaggedAwayMinutes) {
            untagged.addDay(day);
        }
        const Totals own = builder.addDay(day);
        if (options.htmlFile) {
            page.addDay(day, own);
        }
    });
    options.first = first;
    options.last = last;
    const Summary summary = summaryOf(options, builder.finish());

    switch (options.format) {
    case OutputFormat::text:
        output.out = options.untaggedAwayMinutes
                         ? renderUntaggedAway(
                               untagged.finish(std::int64_t{*options.untaggedAwayMinutes} * 60'000),
                               *options.untaggedAwayMinutes,
                               options.rangeLabel.empty() ? daysLabel(options.first, options.last)
                                                          : options.rangeLabel,
                               options.tagDirectory, clock.offsetAt, hostShellStyle())
                         : renderText(summary);
        break;
    case OutputFormat::csv:
        output.out = renderCsv(summary);
        break;
    case OutputFormat::json:
        output.out = renderJson(summary, counts.skippedLines);
        break;
    case OutputFormat::timesheet:
        output.out = sheet.finish();
        if (const std::string why = sheet.emptyReason(); !why.empty()) {
            output.err += "activity-report: the timesheet has no rows: " + why + "\n";
        }
        break;
    }
    // Days still to come, with nothing in them (a clock set wrong may have put something
    // there): no report, but a word, and a status of their own.
    const bool nothingRecorded = std::all_of(summary.byState.begin(), summary.byState.end(),
                                             [](std::int64_t ms) { return ms == 0; });
    int status = 0;
    if (future && nothingRecorded) {
        output.out.clear();
        output.err += *future;
        status = 3;
    }
    if (counts.skippedLines > 0) {
        output.err += "activity-report: skipped " + std::to_string(counts.skippedLines) +
                      (counts.skippedLines == 1 ? " line" : " lines") +
                      " that held no event (unreadable, or cut short while being written)\n";
    }
    if (counts.overlongEvents > 0) {
        output.err += "activity-report: skipped " + std::to_string(counts.overlongEvents) +
                      (counts.overlongEvents == 1 ? " event" : " events") +
                      " running on past the next midnight (split such an event at midnight)\n";
    }
    if (skippedTagLines > 0) {
        output.err += "activity-report: skipped " + std::to_string(skippedTagLines) +
                      (skippedTagLines == 1 ? " line" : " lines") + " of " + tagFileName +
                      " that held no tag (damaged, or cut short)\n";
    }
    if (counts.summariesUnwritable) {
        output.err += "activity-report: can't keep day summaries in the log folder or the "
                      "user's cache; every report reads the whole log\n";
    }
    if (counts.misplacedEvents > 0) {
        // Any day file read after the day an event belongs to, the next one's included.
        output.err +=
            "activity-report: left out " + std::to_string(counts.misplacedEvents) +
            (counts.misplacedEvents == 1 ? " event filed under a later day than its own\n"
                                         : " events filed under later days than their own\n");
    }
    if (options.htmlFile && !page.finish(summary)) {
        output.err += "activity-report: couldn't write all of " +
                      text::utf8FromPath(*options.htmlFile) + "\n";
        return 1;
    }
    return status;
}

} // namespace report
