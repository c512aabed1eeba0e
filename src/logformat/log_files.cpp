#include "logformat/log_files.h"

#include "platform/system.h"

namespace logformat {

std::string dayFileName(const CivilDate& date) {
    return formatDate(date) + ".jsonl";
}

std::filesystem::path defaultLogDirectory() {
    const std::filesystem::path base = platform::userDataDirectory();
    if (base.empty()) {
        return {};
    }
    return base / "activity-sampler" / "log";
}

} // namespace logformat
