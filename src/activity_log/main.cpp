// activity-log: runs activity-sampler every few seconds and keeps a durable log of
// activity spans. See --help.
#include "activity_log/collector.h"
#include "activity_log/options.h"
#include "platform/console.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    if (!arguments.empty()) {
        arguments.erase(arguments.begin()); // the program's own name
    }
    const activity_log::ParsedOptions parsed = activity_log::parseOptions(arguments);
    if (!parsed.options) {
        if (!parsed.out.empty()) {
            platform::writeStandardOutput(parsed.out);
        }
        if (!parsed.err.empty()) {
            platform::writeStandardError(parsed.err);
        }
        return parsed.exitCode;
    }
    return activity_log::runCollector(*parsed.options);
}
