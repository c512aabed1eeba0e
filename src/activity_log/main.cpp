// activity-log: runs activity-sampler every few seconds and keeps a durable log of
// activity spans. See --help.
#include "activity_log/collector.h"
#include "activity_log/options.h"
#include "platform/collector_session.h"

int main(int argc, char** argv) {
    const activity_log::ParsedOptions parsed =
        activity_log::parseOptions(platform::collectorArguments(argc, argv));
    if (!parsed.options) {
        if (!parsed.out.empty()) {
            platform::writeCollectorOutput(parsed.out);
        }
        if (!parsed.err.empty()) {
            platform::writeCollectorError(parsed.err);
        }
        return parsed.exitCode;
    }
    return activity_log::runCollector(*parsed.options);
}
