// activity-log: runs activity-sampler every few seconds and keeps a durable log of
// activity spans; `activity-log forget` removes the text of a span of it;
// `activity-log gnome-extension` installs what the sampler asks on GNOME. See --help.
#include "activity_log/collector.h"
#include "activity_log/forget_command.h"
#ifdef ACTIVITY_LOG_GNOME_EXTENSION
#include "activity_log/gnome_extension_command.h"
#endif
#include "activity_log/options.h"
#include "platform/console.h"
#include "platform/system.h"

#include <chrono>
#include <string>
#include <vector>

namespace {

// A command line that asked for help, or was refused: what its parser said, and the
// status it gave.
template <class Parsed> int answered(const Parsed& parsed) {
    if (!parsed.out.empty()) {
        platform::writeStandardOutput(parsed.out);
    }
    if (!parsed.err.empty()) {
        platform::writeStandardError(parsed.err);
    }
    return parsed.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin()); // the program's own name
    }
    if (!arguments.empty() && arguments.front() == "forget") {
        arguments.erase(arguments.begin());
        const activity_log::ParsedForget parsed = activity_log::parseForgetOptions(
            arguments,
            std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count(),
            platform::localUtcOffsetMinutes);
        if (!parsed.options) {
            return answered(parsed);
        }
        return activity_log::runForget(*parsed.options);
    }
#ifdef ACTIVITY_LOG_GNOME_EXTENSION
    if (!arguments.empty() && arguments.front() == "gnome-extension") {
        arguments.erase(arguments.begin());
        return activity_log::runGnomeExtensionCommand(arguments);
    }
#endif
    const activity_log::ParsedOptions parsed = activity_log::parseOptions(arguments);
    if (!parsed.options) {
        return answered(parsed);
    }
    return activity_log::runCollector(*parsed.options);
}
