// The collector's command line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace activity_log {

struct Options {
    double intervalSeconds = 5;
    double timeoutSeconds = 5;
    double idleAfterSeconds = 180;
    std::vector<std::string> keepActive; // patterns (text/pattern.h), matched against app
    std::vector<std::string> exclude;    // against app and title
    std::filesystem::path directory;     // empty: the user's default log folder
    bool toStandardOutput = false;       // --output -
    std::filesystem::path sampler;       // empty: the sampler next to this program
    std::optional<double> forSeconds;
    std::optional<std::uint64_t> samples;
    // No window in any sample for this long, and no desktop answers: said on standard
    // error. Five minutes is well past a desktop's own restart or a logon's handover,
    // and still early for a user who looks after starting a unit. Hidden: only tests
    // shorten it.
    double stuckAfterSeconds = 300;
};

struct ParsedOptions {
    std::optional<Options> options; // none: exit with exitCode after printing the text
    int exitCode = 0;
    std::string out; // --help
    std::string err; // what was wrong
};

// ARGUMENTS are the program's arguments after its name, in UTF-8.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

} // namespace activity_log
