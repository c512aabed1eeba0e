// The collector's command line: what it takes, and what it refuses with exit status 2
// and a message naming the option.
#include "activity_log/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using activity_log::parseOptions;

TEST(CollectorOptions, BadValuesExitTwoNamingTheOption) {
    const std::string linear = "(backreferences and lookaround can't be matched in linear time)";
    struct Case {
        std::vector<std::string> arguments;
        std::string message; // found in the error
    };
    const Case cases[] = {
        {{"--interval", "0"}, "--interval"},
        {{"--timeout", "0"}, "--timeout"},
        {{"--idle-after", "0"}, "--idle-after"},
        {{"--interval", "-1"}, "--interval"},
        {{"--interval", "nan"}, "--interval"},
        {{"--timeout", "1e10"}, "--timeout"},
        {{"--idle-after", "soon"}, "--idle-after"},
        {{"--samples", "0"}, "--samples"},
        {{"--samples", "1.5"}, "--samples"},
        {{"--for", "0"}, "--for: \"0\" is no time"},
        {{"--interval", "5x"}, "--interval: not a duration: \"5x\""},
        {{"--for", "-10m"}, "--for: a duration can't be negative"},
        {{"--idle-after", "99999999999h"}, "--idle-after: \"99999999999h\" is too long"},
        {{"--output", "log.txt"}, "--output"},
        {{"--output", "-", "--dir", "log"}, "--output - and --dir exclude each other"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"--interval"}, "--interval"},
        // Patterns are compiled at the start: the option, the pattern and why.
        {{"--exclude", "Bank", "--exclude", "("}, "--exclude '(': not a pattern it can match"},
        {{"--exclude", "(a)\\1"}, "--exclude '(a)\\1': "},
        {{"--exclude", "x(?=y)"}, linear},
        {{"--keep-active", "(?<!a)b"}, "--keep-active '(?<!a)b': "},
        {{"--keep-active", "(?<!a)b"}, linear},
        {{"--exclude", "a{2,1}"}, "invalid repetition size"},
        {{"--exclude", "[\\pL]{1000}"}, "too large: it would need more than 1 MiB"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& argument : c.arguments) {
            shown += argument + " ";
        }
        SCOPED_TRACE(shown);
        const auto parsed = parseOptions(c.arguments);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_EQ(parsed.err.rfind("activity-log: ", 0), 0u) << parsed.err;
        EXPECT_NE(parsed.err.find(c.message), std::string::npos) << parsed.err;
        EXPECT_TRUE(parsed.out.empty());
    }
}

TEST(CollectorOptions, WhatItTakes) {
    const auto defaults = parseOptions({});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(defaults.options->intervalSeconds, 5);
    EXPECT_EQ(defaults.options->timeoutSeconds, 5);
    EXPECT_EQ(defaults.options->idleAfterSeconds, 180);
    EXPECT_FALSE(defaults.options->forSeconds);
    EXPECT_FALSE(defaults.options->samples);
    EXPECT_FALSE(defaults.options->toStandardOutput);
    EXPECT_TRUE(defaults.options->directory.empty());

    const auto given =
        parseOptions({"--interval", "0.5",       "--timeout", "0.25",        "--idle-after",
                      "60",         "--samples", "3",         "--for",       "2.5",
                      "--exclude",  "Bank",      "--exclude", "(?i)private", "--keep-active",
                      "^Zoom$",     "--dir",     "log",       "--sampler",   "stand-in"});
    ASSERT_TRUE(given.options) << given.err;
    const activity_log::Options& o = *given.options;
    EXPECT_EQ(o.intervalSeconds, 0.5);
    EXPECT_EQ(o.timeoutSeconds, 0.25);
    EXPECT_EQ(o.idleAfterSeconds, 60);
    EXPECT_EQ(o.samples, 3u);
    EXPECT_EQ(o.forSeconds, 2.5);
    EXPECT_EQ(o.exclude, (std::vector<std::string>{"Bank", "(?i)private"}));
    EXPECT_EQ(o.keepActive, (std::vector<std::string>{"^Zoom$"}));
    EXPECT_EQ(o.directory, std::filesystem::path("log"));
    EXPECT_EQ(o.sampler, std::filesystem::path("stand-in"));

    // Every length of time as a person says it, in the shared form.
    const auto units = parseOptions(
        {"--interval", "90s", "--timeout", "1.5m", "--idle-after", "0.5h", "--for", "10m"});
    ASSERT_TRUE(units.options) << units.err;
    EXPECT_EQ(units.options->intervalSeconds, 90);
    EXPECT_EQ(units.options->timeoutSeconds, 90);
    EXPECT_EQ(units.options->idleAfterSeconds, 1800);
    EXPECT_EQ(units.options->forSeconds, 600);

    const auto toOutput = parseOptions({"--output", "-"});
    ASSERT_TRUE(toOutput.options);
    EXPECT_TRUE(toOutput.options->toStandardOutput);

    const auto help = parseOptions({"--help"});
    EXPECT_FALSE(help.options);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--interval", "--timeout", "--idle-after", "--keep-active", "--exclude", "--dir",
          "--output", "--sampler", "--for", "--samples"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

} // namespace
