#include "activity_report/command_line.h"

#include "logformat/duration.h"
#include "logformat/local_time.h"
#include "text/utf8_path.h"

#include <CLI/CLI.hpp>

#include <map>
#include <optional>
#include <tuple>

namespace report {

namespace {

const std::map<std::string, GroupBy> groupings = {
    {"app", GroupBy::app},       {"category", GroupBy::category}, {"doc", GroupBy::doc},
    {"folder", GroupBy::folder}, {"title", GroupBy::title},       {"project", GroupBy::project}};
const std::map<std::string, OutputFormat> formats = {{"text", OutputFormat::text},
                                                     {"csv", OutputFormat::csv},
                                                     {"json", OutputFormat::json},
                                                     {"timesheet", OutputFormat::timesheet}};

// "HH:MM", 00:00 to 23:59, as minutes.
std::optional<int> clockMinutes(const std::string& text) {
    if (text.size() != 5 || text[2] != ':') {
        return std::nullopt;
    }
    for (const std::size_t i : {0u, 1u, 3u, 4u}) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    return hours * 60 + minutes;
}

CommandLine refused(std::string message) {
    CommandLine result;
    result.exitCode = 2;
    result.err = "activity-report: " + message + "\nRun with --help for the options.\n";
    return result;
}

const char* const dayForms = "today, yesterday, -N (days ago) or YYYY-MM-DD";

// A --from or --to: a whole day, or a moment where the report cuts the events.
struct RangeEnd {
    logformat::CivilDate date;         // the day the end lies on
    std::optional<std::int64_t> cutMs; // the moment, when a time of day was given
    std::string problem;
};

// "2026-12-08", "yesterday", "-2": a whole day. "2026-12-08 14:30", "2026-12-08T14:30",
// "yesterday 14:30", or "14:30" (today): a moment. END_OF_RANGE: the day of a --to moment
// is the one its last moment before lies on.
RangeEnd readRangeEnd(const std::string& text, bool endOfRange, const logformat::CivilDate& today,
                      const logformat::OffsetAt& offsetAt) {
    RangeEnd end;
    if (const auto day = logformat::parseDay(text, today)) {
        end.date = *day;
        return end;
    }
    std::string moment = text;
    if (const std::size_t space = text.find(' '); space != std::string::npos) {
        if (const auto day = logformat::parseDay(text.substr(0, space), today)) {
            moment = logformat::formatDate(*day) + text.substr(space);
        }
    }
    const logformat::LocalTimeParse parsed = logformat::parseLocalTime(moment, offsetAt, today);
    if (!parsed.moment) {
        end.problem = "not a day (" + std::string(dayForms) + ") nor a time: " + parsed.problem;
        return end;
    }
    end.cutMs = parsed.moment->unixMs;
    const std::int64_t dayOf = endOfRange ? *end.cutMs - 1 : *end.cutMs;
    end.date = logformat::localDate({dayOf, offsetAt(dayOf)});
    return end;
}

const std::map<std::string, int> weekdays = {{"monday", 0},   {"tuesday", 1}, {"wednesday", 2},
                                             {"thursday", 3}, {"friday", 4},  {"saturday", 5},
                                             {"sunday", 6}};

// "monday", "Mon", "SUNDAY": days from Monday.
std::optional<int> weekdayOf(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    for (const auto& [name, number] : weekdays) {
        if (text == name || (text.size() == 3 && name.compare(0, 3, text) == 0)) {
            return number;
        }
    }
    return std::nullopt;
}

logformat::CivilDate daysAfter(const logformat::CivilDate& date, std::int64_t days) {
    return logformat::civilFromDays(logformat::daysFromCivil(date) + days);
}

// The calendar month MONTHS_BACK before TODAY's, first day to last.
std::pair<logformat::CivilDate, logformat::CivilDate> monthOf(const logformat::CivilDate& today,
                                                              int monthsBack) {
    const int index = today.year * 12 + (today.month - 1) - monthsBack;
    const logformat::CivilDate first{index / 12, index % 12 + 1, 1};
    const logformat::CivilDate next{(index + 1) / 12, (index + 1) % 12 + 1, 1};
    return {first, daysAfter(next, -1)};
}

// A cut selection for its heading: each end a time when cut there, else its day; one
// date when both ends are on it ("2026-12-08 14:30 to 16:00", "2026-12-08 from 14:30").
std::string cutLabel(const ReportOptions& options, const logformat::OffsetAt& offsetAt) {
    if (!options.cutFromMs && !options.cutToMs) {
        return {};
    }
    const auto end = [&](const std::optional<std::int64_t>& cut, const logformat::CivilDate& day) {
        return cut ? logformat::formatLocalTime(*cut, offsetAt) : logformat::formatDate(day);
    };
    const std::string from = end(options.cutFromMs, options.first);
    const std::string to = end(options.cutToMs, options.last);
    const std::size_t dateLength = 10;
    if (options.first == options.last && !options.cutToMs) {
        return from.substr(0, dateLength) + " from" + from.substr(dateLength);
    }
    if (options.first == options.last && !options.cutFromMs) {
        return to.substr(0, dateLength) + " until" + to.substr(dateLength);
    }
    if (to.compare(0, dateLength, from, 0, dateLength) == 0) {
        return from + " to" + to.substr(dateLength);
    }
    return from + " to " + to;
}

// A MINUTES option as a duration: plain numbers are minutes, "90m" and "1.5h" are too, in
// whole minutes only.
std::optional<int> minutesOf(const CLI::Option* option, const std::string& text, int least,
                             int most, std::string& problem) {
    const logformat::DurationParse parsed = logformat::parseDuration(
        text, {60'000, std::int64_t{least} * 60'000, std::int64_t{most} * 60'000});
    if (!parsed.ms) {
        problem = option->get_name() + ": " + parsed.problem;
        return std::nullopt;
    }
    if (*parsed.ms % 60'000 != 0) {
        problem = option->get_name() + ": " + text + " is not a whole number of minutes";
        return std::nullopt;
    }
    return static_cast<int>(*parsed.ms / 60'000);
}

} // namespace

std::optional<std::string> stillToCome(const ReportOptions& options,
                                       const logformat::Timestamp& now) {
    const logformat::CivilDate today = logformat::localDate(now);
    const bool future =
        options.cutFromMs ? *options.cutFromMs >= now.unixMs : options.first > today;
    if (!future) {
        return std::nullopt;
    }
    const std::string days =
        options.first == options.last
            ? logformat::formatDate(options.first)
            : logformat::formatDate(options.first) + " to " + logformat::formatDate(options.last);
    const std::string clock =
        logformat::formatLocalTime(logformat::floorDiv(now.unixMs, 60'000) * 60'000,
                                   [&](std::int64_t) { return now.offsetMinutes; });
    return "activity-report: " + days + " is still to come: nothing is recorded yet (it is " +
           clock + " now)\n";
}

std::string_view groupByName(GroupBy by) {
    for (const auto& [name, value] : groupings) {
        if (value == by) {
            return name;
        }
    }
    return {};
}

namespace {

// What the options chose of time: one of the selections, or today.
struct SelectionOptions {
    std::string day, from, to, weekStarts = "monday";
    bool week = false, month = false, lastWeek = false, lastMonth = false;
    int lastDays = 0;
    CLI::Option* weekStartsOption = nullptr;
    CLI::Option* lastDaysOption = nullptr;
    std::vector<CLI::Option*> selections;
};

// The options that choose the days: one at a time.
void addSelectionOptions(CLI::App& app, SelectionOptions& chosen) {
    std::vector<CLI::Option*>& selections = chosen.selections;
    selections = {
        app.add_option("--day", chosen.day,
                       std::string("The day to report: ") + dayForms + " (default: today)")
            ->type_name("DAY")};
    auto* fromOption = app.add_option("--from", chosen.from,
                                      "The start of a range: a day, or a local time such as "
                                      "\"2026-12-08 14:30\" or 14:30 (today), where the events "
                                      "are cut")
                           ->type_name("WHEN");
    auto* toOption = app.add_option("--to", chosen.to,
                                    "The end of a range: a day (included), or a local time "
                                    "(not included) (default: now)")
                         ->type_name("WHEN");
    toOption->needs(fromOption);
    selections.push_back(fromOption);
    selections.push_back(
        app.add_flag("--week", chosen.week, "This calendar week (see --week-starts)"));
    selections.push_back(app.add_flag("--last-week", chosen.lastWeek, "The calendar week before"));
    selections.push_back(app.add_flag("--month", chosen.month, "This calendar month"));
    selections.push_back(
        app.add_flag("--last-month", chosen.lastMonth, "The calendar month before"));
    chosen.lastDaysOption = app.add_option("--last", chosen.lastDays, "The N days ending today")
                                ->type_name("N")
                                ->check(CLI::Range(1, logformat::maxDaysBack));
    selections.push_back(chosen.lastDaysOption);
    chosen.weekStartsOption = app.add_option("--week-starts", chosen.weekStarts,
                                             "The day weeks start on (default: monday)")
                                  ->type_name("DAY");
}

// The days and moments chosen, or what was wrong with them.
std::string selectRange(const SelectionOptions& chosen, const logformat::CivilDate& today,
                        const logformat::OffsetAt& offsetAt, ReportOptions& options) {
    std::string given;
    for (const CLI::Option* selection : chosen.selections) {
        if (selection->count() > 0) {
            given += (given.empty() ? "" : ", ") + selection->get_name();
        }
    }
    if (given.find(", ") != std::string::npos) {
        return "the days are chosen one way at a time, not by " + given +
               " (give one of --day, --from and --to, --week, --last-week, --month, "
               "--last-month or --last)";
    }
    const std::optional<int> weekStart = weekdayOf(chosen.weekStarts);
    if (!weekStart) {
        return "--week-starts: not a day of the week: " + chosen.weekStarts;
    }
    if (chosen.weekStartsOption->count() > 0 && !chosen.week && !chosen.lastWeek) {
        return "--week-starts is for --week and --last-week";
    }
    const logformat::CivilDate weekFirst =
        daysAfter(today, -((logformat::daysSinceMonday(today) - *weekStart + 7) % 7));
    options.first = options.last = today;
    if (!chosen.day.empty()) {
        const auto day = logformat::parseDay(chosen.day, today);
        if (!day) {
            return "--day: not a day (" + std::string(dayForms) + "): " + chosen.day;
        }
        options.first = options.last = *day;
    } else if (!chosen.from.empty()) {
        const RangeEnd from = readRangeEnd(chosen.from, false, today, offsetAt);
        if (!from.problem.empty()) {
            return "--from: " + from.problem;
        }
        const RangeEnd to = chosen.to.empty() ? RangeEnd{today, {}, {}}
                                              : readRangeEnd(chosen.to, true, today, offsetAt);
        if (!to.problem.empty()) {
            return "--to: " + to.problem;
        }
        if (to.date < from.date || (from.cutMs && to.cutMs && *to.cutMs <= *from.cutMs)) {
            return "--from " + chosen.from + " is after --to " +
                   (chosen.to.empty() ? "today" : chosen.to);
        }
        options.first = from.date;
        options.last = to.date;
        options.cutFromMs = from.cutMs;
        options.cutToMs = to.cutMs;
        options.rangeLabel = cutLabel(options, offsetAt);
    } else if (chosen.week || chosen.lastWeek) {
        options.first = daysAfter(weekFirst, chosen.lastWeek ? -7 : 0);
        options.last = daysAfter(options.first, 6);
    } else if (chosen.month || chosen.lastMonth) {
        std::tie(options.first, options.last) = monthOf(today, chosen.lastMonth ? 1 : 0);
    } else if (chosen.lastDaysOption->count() > 0) {
        options.first = daysAfter(today, 1 - chosen.lastDays);
    }
    return {};
}

} // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments,
                            const logformat::Timestamp& now, const logformat::OffsetAt& offsetAt,
                            const std::filesystem::path& defaultDirectory) {
    const logformat::CivilDate today = logformat::localDate(now);
    CLI::App app{"Where the time went: totals and a day's timeline from the log that "
                 "activity-log keeps.",
                 "activity-report"};
    std::vector<std::string> directories;
    std::string by = "app", format = "text", html, rules;
    int depth = 0, width = 0;
    bool includeAway = false, noCache = false;
    SelectionOptions chosen;

    app.add_option("--dir", directories,
                   "A folder of the collector's log; repeat it to report several machines "
                   "together (default: " +
                       text::utf8FromPath(defaultDirectory) + ")")
        ->type_name("DIR")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    addSelectionOptions(app, chosen);
    app.add_option("--by", by,
                   "Group the time by app, category, doc, folder (of the "
                   "document's path), title, or project (by the rules file) (default: app; project "
                   "with --rules or --format timesheet)")
        ->type_name("GROUP")
        ->check(CLI::IsMember({"app", "category", "doc", "folder", "title", "project"}));
    app.add_option("--rules", rules,
                   "The rules that put time into projects ([[rule]]) and name your own "
                   "programs ([[app]]), a TOML file (default: rules.toml in the user's config "
                   "folder, if there is one); without --by, groups by project")
        ->type_name("FILE");
    app.add_option("--depth", depth,
                   "With --by project: roll projects up to their first N levels (default: every "
                   "level)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    app.add_flag("--include-away", includeAway,
                 "Show idle, locked, no-window and unavailable time as rows of the table");
    app.add_option("--format", format,
                   "text (default), csv, json, or timesheet (CSV: hours per day and project)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json", "timesheet"}));
    TimesheetOptions sheet;
    std::string dayStarts = "00:00", round = "15", minBlock = "0", mergeGap = "0", untaggedAway;
    // Lengths of time in minutes: a plain number is minutes, and 90m or 1.5h say so too.
    auto* roundOption = app.add_option("--round", round,
                                       "Timesheet: hours rounded to MINUTES, half up (default: 15)")
                            ->type_name("MINUTES");
    auto* minBlockOption =
        app.add_option("--min-block", minBlock,
                       "Timesheet: leave out blocks of a project shorter than MINUTES (default: 0)")
            ->type_name("MINUTES");
    auto* mergeGapOption =
        app.add_option("--merge-gap", mergeGap,
                       "Timesheet: join a project's blocks less than MINUTES apart (default: 0)")
            ->type_name("MINUTES");
    auto* dayStartsOption =
        app.add_option("--day-starts", dayStarts,
                       "Timesheet: days start at this local time, HH:MM (default: 00:00)")
            ->type_name("HH:MM");
    app.add_flag("--no-cache", noCache,
                 "Read every day from the log, not from the day summaries kept beside it");
    app.add_option("--html", html, "Also write a page with each day's timeline and totals to FILE")
        ->type_name("FILE");
    auto* untaggedOption =
        app.add_option("--untagged-away", untaggedAway,
                       "Instead of the table, list the away, no-window and unrecorded spells "
                       "longer than MINUTES that no tag lies over, each with the command that "
                       "tags it")
            ->type_name("MINUTES");
    auto* widthOption =
        app.add_option("--width", width,
                       "The table's width in columns (default: the terminal's, or COLUMNS; 79 "
                       "when the output is not a terminal)")
            ->type_name("N")
            ->check(CLI::Range(40, 1000));
    app.footer(
        "Label time after the fact (a meeting away from the desk): activity-report tag "
        "--help.\nExit status: 0; 1 for a missing folder or a file that can't be written; "
        "2 for a bad command line or rules file; 3 for days still to come, with nothing recorded.");

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        CommandLine help;
        help.out = app.help();
        return help;
    } catch (const CLI::ParseError& error) {
        return refused(error.what());
    }

    ReportOptions options;
    if (const std::string problem = selectRange(chosen, today, offsetAt, options);
        !problem.empty()) {
        return refused(problem);
    }
    for (const std::string& directory : directories) {
        options.directories.push_back(text::pathFromUtf8(directory));
    }
    if (options.directories.empty()) {
        options.directories.push_back(defaultDirectory);
    }
    options.format = formats.at(format);
    // A timesheet is by project unless asked otherwise, and so is a report given rules:
    // they name projects and nothing else.
    const bool byGiven = app.count("--by") > 0;
    options.by = !byGiven && (options.format == OutputFormat::timesheet || !rules.empty())
                     ? GroupBy::project
                     : groupings.at(by);
    const std::string_view byName = groupByName(options.by);
    if (depth > 0 && options.by != GroupBy::project) {
        return refused("--depth rolls projects up to their first levels; --by " +
                       std::string(byName) + " has no projects (use --by project)");
    }
    for (const CLI::Option* option :
         {roundOption, minBlockOption, mergeGapOption, dayStartsOption}) {
        if (option->count() > 0 && options.format != OutputFormat::timesheet) {
            return refused(option->get_name() + " is for --format timesheet");
        }
    }
    const auto startMinutes = clockMinutes(dayStarts);
    if (!startMinutes) {
        return refused("--day-starts: not a time of the form HH:MM: " + dayStarts);
    }
    sheet.dayStartsMinutes = *startMinutes;
    std::string problem;
    for (const auto& [option, text, minutes, least, most] :
         {std::tuple{roundOption, &round, &sheet.roundMinutes, 1, 1440},
          std::tuple{minBlockOption, &minBlock, &sheet.minBlockMinutes, 0, 1440},
          std::tuple{mergeGapOption, &mergeGap, &sheet.mergeGapMinutes, 0, 1440}}) {
        const auto read = minutesOf(option, *text, least, most, problem);
        if (!read) {
            return refused(problem);
        }
        *minutes = *read;
    }
    options.timesheet = sheet;
    options.includeAway = includeAway;
    options.useSummaries = !noCache;
    if (!html.empty()) {
        options.htmlFile = text::pathFromUtf8(html);
    }
    if (!rules.empty()) {
        options.rulesFile = text::pathFromUtf8(rules);
    }
    options.depth = depth;
    if (untaggedOption->count() > 0) {
        if (options.format != OutputFormat::text) {
            return refused("--untagged-away lists commands to run: it has no --format");
        }
        options.untaggedAwayMinutes =
            minutesOf(untaggedOption, untaggedAway, 0, 1'000'000, problem);
        if (!options.untaggedAwayMinutes) {
            return refused(problem);
        }
        if (!directories.empty()) {
            options.tagDirectory = directories.front();
        }
    }
    if (widthOption->count() > 0) {
        if (options.format != OutputFormat::text) {
            return refused("--width is for the text table, not --format " + format);
        }
        options.width = width;
    }
    CommandLine result;
    if (!rules.empty() && options.by != GroupBy::project) {
        // Read all the same (a bad file still stops the report, and its [[app]] tables
        // hold for every grouping), but only a project is named by its rules.
        result.err = "activity-report: --by " + std::string(byName) +
                     " shows no projects: the [[rule]] tables of --rules are not applied "
                     "(--by project applies them), its [[app]] tables are\n";
    }
    result.options = std::move(options);
    return result;
}

} // namespace report
