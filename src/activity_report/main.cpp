// activity-report: where the time went, from the log that activity-log keeps.
#include "activity_report/run_report.h"
#include "logformat/log_files.h"
#include "platform/console.h"
#include "platform/system.h"

#include <chrono>

int main(int argc, char** argv) {
    const auto now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const report::Clock clock{now.time_since_epoch().count(), &platform::localUtcOffsetMinutes};
    report::RunOutput output;
    const int status = report::runReport(platform::commandLineArguments(argc, argv), clock,
                                         logformat::defaultLogDirectory(), output);
    const bool written = platform::writeStandardOutput(output.out);
    platform::writeStandardError(output.err);
    return status == 0 && !written ? 1 : status;
}
