#include "activity_log/options.h"

#include "logformat/duration.h"
#include "text/pattern.h"
#include "text/utf8_path.h"

#include <CLI/CLI.hpp>

#include <sstream>

namespace activity_log {
namespace {

// Each pattern compiles now, so that a mistake shows at the start, not at a sample.
std::string badPattern(const std::vector<std::string>& patterns, const char* option) {
    for (const std::string& pattern : patterns) {
        const text::CompiledPattern compiled = text::compilePattern(pattern);
        if (!compiled.pattern) {
            return std::string(option) + " '" + pattern +
                   "': not a pattern it can match: " + compiled.error;
        }
    }
    return {};
}

// CLI11's own range check names the whole range of a number in its message.
const CLI::Validator positive(
    [](const std::string& text) {
        std::uint64_t value = 0;
        if (!CLI::detail::lexical_cast(text, value) || value == 0) {
            return std::string("must be a positive number");
        }
        return std::string();
    },
    "POSITIVE");

// The options that take a length of time, as typed, with where each goes.
struct DurationOption {
    const char* name;
    std::string text;
    double* seconds;
};

// Each duration read, or the first one's problem, naming the option.
std::string readDurations(const std::vector<DurationOption*>& durations, const CLI::App& app) {
    for (DurationOption* option : durations) {
        if (app.count(option->name) == 0) {
            continue;
        }
        const logformat::DurationParse parsed = logformat::parseDuration(option->text);
        if (!parsed.ms) {
            return std::string(option->name) + ": " + parsed.problem;
        }
        *option->seconds = static_cast<double>(*parsed.ms) / 1000;
    }
    return {};
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    Options options;
    std::string directory, output, sampler;
    double forSeconds = 0;
    std::uint64_t samples = 0;
    DurationOption interval{"--interval", "5s", &options.intervalSeconds};
    DurationOption timeout{"--timeout", "5s", &options.timeoutSeconds};
    DurationOption idleAfter{"--idle-after", "3m", &options.idleAfterSeconds};
    DurationOption forTime{"--for", "", &forSeconds};
    DurationOption stuckAfter{"--stuck-after", "", &options.stuckAfterSeconds};

    CLI::App app("Runs activity-sampler every few seconds and keeps a log of activity spans: "
                 "one JSON line per event, one file per local day.",
                 "activity-log");
    app.footer("activity-log forget --last 10m (or --from and --to): removes the text of the "
               "spans in that range from the log for good; see activity-log forget --help."
#ifdef ACTIVITY_LOG_GNOME_EXTENSION
               "\nactivity-log gnome-extension install|remove: installs (or removes) the GNOME "
               "Shell extension that the sampler asks for the focused window on GNOME."
#endif
    );
    app.add_option("--interval", interval.text,
                   "Time between samples: seconds (fractions allowed), or 90s, 10m, 1.5h")
        ->type_name("DURATION")
        ->capture_default_str();
    app.add_option("--timeout", timeout.text, "How long a sampler run may take before it is killed")
        ->type_name("DURATION")
        ->capture_default_str();
    app.add_option("--idle-after", idleAfter.text,
                   "Time without keyboard or mouse input after which the user is idle")
        ->type_name("DURATION")
        ->capture_default_str();
    app.add_option("--keep-active", options.keepActive,
                   "Applications (pattern on app) that stay active without input; repeatable")
        ->type_name("REGEX")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--exclude", options.exclude,
                   "Record matching samples (pattern on app or title) without their text; "
                   "repeatable")
        ->type_name("REGEX")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--dir", directory,
                   "Log folder (default: the user's data folder, "
                   "activity-sampler/log)")
        ->type_name("DIR");
    app.add_option("--output", output, "'-' writes the events to standard output instead")
        ->type_name("-")
        ->check(CLI::IsMember({"-"}));
    app.add_option("--sampler", sampler,
                   "The sampler to run (default: the one next to this "
                   "program)")
        ->type_name("PATH");
    app.add_option("--for", forTime.text, "Stop after this long")->type_name("DURATION");
    app.add_option("--samples", samples, "Stop after this many samples")
        ->type_name("N")
        ->check(positive);
    // Only tests shorten the wait before "no window" is said.
    app.add_option("--stuck-after", stuckAfter.text)->group("");

    ParsedOptions parsed;
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.out = app.help();
        return parsed;
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = 2;
        parsed.err =
            std::string("activity-log: ") + error.what() + "\nRun with --help for the options.\n";
        return parsed;
    }
    for (const auto& [patterns, name] : {std::pair{&options.keepActive, "--keep-active"},
                                         std::pair{&options.exclude, "--exclude"}}) {
        const std::string bad = badPattern(*patterns, name);
        if (!bad.empty()) {
            parsed.exitCode = 2;
            parsed.err = "activity-log: " + bad + "\n";
            return parsed;
        }
    }
    if (const std::string bad =
            readDurations({&interval, &timeout, &idleAfter, &forTime, &stuckAfter}, app);
        !bad.empty()) {
        parsed.exitCode = 2;
        parsed.err = "activity-log: " + bad + "\n";
        return parsed;
    }
    if (!output.empty() && !directory.empty()) {
        parsed.exitCode = 2;
        parsed.err = "activity-log: --output - and --dir exclude each other\n";
        return parsed;
    }
    options.directory = text::pathFromUtf8(directory);
    options.toStandardOutput = !output.empty();
    options.sampler = text::pathFromUtf8(sampler);
    if (app.count("--for") > 0) {
        options.forSeconds = forSeconds;
    }
    if (app.count("--samples") > 0) {
        options.samples = samples;
    }
    parsed.options = std::move(options);
    return parsed;
}

} // namespace activity_log
