#include "activity_report/command_line.h"

#include "text/utf8_path.h"

#include <CLI/CLI.hpp>

#include <map>
#include <optional>

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

} // namespace

std::string_view groupByName(GroupBy by) {
    for (const auto& [name, value] : groupings) {
        if (value == by) {
            return name;
        }
    }
    return {};
}

CommandLine readCommandLine(const std::vector<std::string>& arguments,
                            const logformat::CivilDate& today,
                            const std::filesystem::path& defaultDirectory) {
    CLI::App app{"Where the time went: totals and a day's timeline from the log that "
                 "activity-log keeps.",
                 "activity-report"};
    std::vector<std::string> directories;
    std::string day, from, to, by = "app", format = "text", html, rules;
    int depth = 0, untaggedAway = -1, width = 0;
    bool week = false, includeAway = false, noCache = false;

    app.add_option("--dir", directories,
                   "A folder of the collector's log; repeat it to report several machines "
                   "together (default: " +
                       text::utf8FromPath(defaultDirectory) + ")")
        ->type_name("DIR")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    auto* dayOption = app.add_option("--day", day, "The day to report, YYYY-MM-DD (default: today)")
                          ->type_name("DATE");
    auto* fromOption =
        app.add_option("--from", from, "The first day of a range, YYYY-MM-DD")->type_name("DATE");
    auto* toOption =
        app.add_option("--to", to, "The last day of a range, inclusive")->type_name("DATE");
    auto* weekOption = app.add_flag("--week", week, "The seven days ending today");
    app.add_option("--by", by,
                   "Group the time by app, category, doc, folder (of the "
                   "document's path), title, or project (by the rules file) (default: app)")
        ->type_name("GROUP")
        ->check(CLI::IsMember({"app", "category", "doc", "folder", "title", "project"}));
    app.add_option("--rules", rules,
                   "The rules that put time into projects, a TOML file (default: rules.toml "
                   "in the user's config folder, if there is one)")
        ->type_name("FILE");
    app.add_option("--depth", depth,
                   "Roll projects up to their first N levels (default: every level)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    app.add_flag("--include-away", includeAway,
                 "Show idle, locked, no-window and unavailable time as rows of the table");
    app.add_option("--format", format,
                   "text (default), csv, json, or timesheet (CSV: hours per day and project)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "csv", "json", "timesheet"}));
    TimesheetOptions sheet;
    std::string dayStarts = "00:00";
    auto* roundOption = app.add_option("--round", sheet.roundMinutes,
                                       "Timesheet: hours rounded to MINUTES, half up (default: 15)")
                            ->type_name("MINUTES")
                            ->check(CLI::Range(1, 1440));
    auto* minBlockOption =
        app.add_option("--min-block", sheet.minBlockMinutes,
                       "Timesheet: leave out blocks of a project shorter than MINUTES (default: 0)")
            ->type_name("MINUTES")
            ->check(CLI::Range(0, 1440));
    auto* mergeGapOption =
        app.add_option("--merge-gap", sheet.mergeGapMinutes,
                       "Timesheet: join a project's blocks less than MINUTES apart (default: 0)")
            ->type_name("MINUTES")
            ->check(CLI::Range(0, 1440));
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
            ->type_name("MINUTES")
            ->check(CLI::Range(0, 1'000'000));
    auto* widthOption =
        app.add_option("--width", width,
                       "The table's width in columns (default: the terminal's, or COLUMNS; 79 "
                       "when the output is not a terminal)")
            ->type_name("N")
            ->check(CLI::Range(40, 1000));
    app.footer("Label time after the fact (a meeting away from the desk): activity-report tag "
               "--help.");
    dayOption->excludes(fromOption)->excludes(toOption)->excludes(weekOption);
    weekOption->excludes(fromOption)->excludes(toOption);
    fromOption->needs(toOption);
    toOption->needs(fromOption);

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
    if (!day.empty()) {
        const auto parsed = logformat::parseDate(day);
        if (!parsed) {
            return refused("--day: not a date of the form YYYY-MM-DD: " + day);
        }
        options.first = options.last = *parsed;
    } else if (!from.empty() || !to.empty()) {
        const auto first = logformat::parseDate(from);
        const auto last = logformat::parseDate(to);
        if (!first) {
            return refused("--from: not a date of the form YYYY-MM-DD: " + from);
        }
        if (!last) {
            return refused("--to: not a date of the form YYYY-MM-DD: " + to);
        }
        if (*last < *first) {
            return refused("--from " + from + " is after --to " + to);
        }
        options.first = *first;
        options.last = *last;
    } else if (week) {
        options.first = logformat::civilFromDays(logformat::daysFromCivil(today) - 6);
        options.last = today;
    } else {
        options.first = options.last = today;
    }
    for (const std::string& directory : directories) {
        options.directories.push_back(text::pathFromUtf8(directory));
    }
    if (options.directories.empty()) {
        options.directories.push_back(defaultDirectory);
    }
    options.format = formats.at(format);
    // A timesheet is by project unless asked otherwise.
    options.by = options.format == OutputFormat::timesheet && app.count("--by") == 0
                     ? GroupBy::project
                     : groupings.at(by);
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
        options.untaggedAwayMinutes = untaggedAway;
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
    result.options = std::move(options);
    return result;
}

} // namespace report
