// activity-report: where the time went, from the log that activity-log keeps.
#include "activity_report/run_report.h"
#include "logformat/log_files.h"
#include "platform/console.h"
#include "platform/system.h"

#include <chrono>
#include <filesystem>

int main(int argc, char** argv) {
    const auto now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const report::Clock clock{now.time_since_epoch().count(), &platform::localUtcOffsetMinutes};
    // The rules file, where the user keeps their settings; it needn't exist.
    std::filesystem::path rules = platform::userConfigDirectory();
    if (!rules.empty()) {
        rules = rules / "activity-sampler" / "rules.toml";
    }
    report::RunOutput output;
    const int status = report::runReport(platform::commandLineArguments(argc, argv), clock,
                                         logformat::defaultLogDirectory(), output, rules,
                                         platform::terminalColumns());
    const bool written = platform::writeStandardOutput(output.out);
    platform::writeStandardError(output.err);
    return status == 0 && !written ? 1 : status;
}
